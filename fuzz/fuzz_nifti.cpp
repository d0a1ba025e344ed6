// The NIfTI converter: a volume or a ConvertError, never anything else; the
// volume has 1…256 planes and nothing beyond its planes is written. Small
// inputs are read a second time, gzip-compressed whole in memory first
// (the other reading path, through the inflating stream): the same bytes
// give the same volume, or the same refusal. They are also read by the
// plain whole-file reader of nifti_reference.h and written again as a
// little-endian NIfTI-2 file of their first volume alone: the converter
// makes the same volume of that file (the samples, scale and geometry
// were decoded alike), and refuses what that reader refuses.
#include <zlib.h>

#include <string>
#include <vector>

#include "convert/nifti.h"
#include "fuzz_support.h"
#include "nifti_reference.h"

namespace {

/// `data` as one gzip member.
std::vector<std::uint8_t> Gzip(const std::uint8_t* data, std::size_t size) {
    z_stream z{};
    if (deflateInit2(&z, 1, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
    std::vector<std::uint8_t> out(deflateBound(&z, uLong(size)) + 32);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = uInt(size);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zxfuzz::InputFile in(data, size, ".nii");
    zx::ConvertedVolume v;
    std::string refusal;
    try {
        v = zx::ConvertNifti(in.Path().toStdString());
        zxfuzz::Check(v.planes >= 1 && v.planes <= 256 && v.voxels.size() == 16777216u);
        for (std::size_t i = std::size_t(v.planes) * 65536; i < v.voxels.size(); i += 4099) {
            zxfuzz::Check(v.voxels[i] == 0);
        }
    } catch (const zx::ConvertError& e) {
        refusal = e.what();
    }
    zxref::Nifti ref;
    const zxref::Verdict verdict = zxref::Read(data, size, 64 * 1024, ref);
    if (verdict == zxref::Verdict::Refused) zxfuzz::Check(!refusal.empty());
    if (verdict == zxref::Verdict::Image) {
        const std::vector<std::uint8_t> canonical = zxref::WriteNifti2(ref);
        const zxfuzz::InputFile again(canonical.data(), canonical.size(), "-ref.nii");
        try {
            const zx::ConvertedVolume w = zx::ConvertNifti(again.Path().toStdString());
            zxfuzz::Check(refusal.empty() && w.planes == v.planes &&
                          w.voxelEdgeMm == v.voxelEdgeMm && w.voxels == v.voxels);
        } catch (const zx::ConvertError&) {
            zxfuzz::Check(!refusal.empty());
        }
    }
    // A plain file starting with gzip's magic would be read as gzip itself.
    if (size > 64 * 1024 || (size >= 2 && data[0] == 0x1f && data[1] == 0x8b)) return 0;
    const std::vector<std::uint8_t> packed = Gzip(data, size);
    const zxfuzz::InputFile gz(packed.data(), packed.size(), ".nii.gz");
    try {
        const zx::ConvertedVolume w = zx::ConvertNifti(gz.Path().toStdString());
        zxfuzz::Check(refusal.empty() && w.planes == v.planes && w.voxelEdgeMm == v.voxelEdgeMm &&
                      w.voxels == v.voxels);
    } catch (const zx::ConvertError&) {
        zxfuzz::Check(!refusal.empty());
    }
    return 0;
}
