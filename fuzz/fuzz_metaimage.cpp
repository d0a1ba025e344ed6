// The MetaImage reader: a volume or a ConvertError, never anything else; the
// volume has 1…256 planes and nothing beyond its planes is written.
#include "convert/metaimage.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zxfuzz::InputFile in(data, size, ".mha");
    try {
        const zx::ConvertedVolume v = zx::ConvertMetaImage(in.Path().toStdString());
        zxfuzz::Check(v.planes >= 1 && v.planes <= 256 && v.voxels.size() == 16777216u);
        for (std::size_t i = std::size_t(v.planes) * 65536; i < v.voxels.size(); i += 4099) {
            zxfuzz::Check(v.voxels[i] == 0);
        }
    } catch (const zx::ConvertError&) {
    }
    return 0;
}
