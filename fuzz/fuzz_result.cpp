// The result block a reader program hands back, as the viewer takes it: a
// reader that crashed half-way or writes nonsense gives a ConvertError,
// never a volume of impossible planes or edge, nor a read outside the
// block (texts without their zero byte, thumbnail counts past the block).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>

#include "base/volume_geometry.h"
#include "convert/dicom_result.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::unique_ptr<zx::DicomSeriesResult> block(new zx::DicomSeriesResult{});
    zx::DicomSeriesResult& r = *block;
    FuzzedDataProvider p(data, size);
    r.status = p.ConsumeIntegralInRange(-1, 4);
    r.planes = p.ConsumeIntegral<int>();
    r.edge = p.ConsumeFloatingPoint<double>();
    r.thumbnails.store(p.ConsumeIntegral<int>());
    const bool exited = p.ConsumeBool(), index = p.ConsumeBool();
    // Texts: a fill byte over the whole field, then the input's bytes.
    const auto fill = [&](char* field, std::size_t length) {
        std::memset(field, p.ConsumeIntegral<char>(), length);
        const std::string text = p.ConsumeRandomLengthString(length);
        std::memcpy(field, text.data(), text.size());
    };
    fill(r.message, sizeof r.message);
    fill(r.notice, sizeof r.notice);
    const std::string text = p.ConsumeRemainingBytesAsString();
    const bool full = !text.empty() && text[0] == 'F';  // no zero byte in the whole text field
    static std::size_t dirty = 0;  // bytes of the text field the last input wrote
    std::memset(r.voxels, 0, dirty);
    const std::size_t length = std::min(text.size(), zx::kIndexTextBytes);
    if (full) std::memset(r.voxels, 'x', zx::kIndexTextBytes);
    std::memcpy(r.voxels, text.data(), length);
    dirty = full ? zx::kIndexTextBytes : length;
    try {
        if (index) {
            const zx::DicomFolderIndex i = zx::TakeDicomIndexResult("/ordner", r, exited);
            zxfuzz::Check(r.status == 0 && i.thumbnails.size() == i.series.size());
        } else {
            const zx::ConvertedVolume v = zx::TakeDicomSeriesResult("/ordner", r, exited);
            zxfuzz::Check(exited && r.status == 0 && v.planes >= 1 && v.planes <= zx::kEdge &&
                          zx::PlausibleEdgeMm(v.voxelEdgeMm));
        }
    } catch (const zx::ConvertError&) {
    }
    return 0;
}
