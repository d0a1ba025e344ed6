// The .vmr reader: planes counted as the file holds them, the bytes copied
// unchanged, and nothing else of the volume touched.
#include <cstring>
#include <vector>

#include "core/volume/runtime_error.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<std::uint8_t> volume(zx::kVolumeBytes);
    std::memset(volume.data(), 0xA5, volume.size());
    const zxfuzz::InputFile in(data, size, ".vmr");
    const int planes = zx::ReadVmr(in.Path(), volume.data());
    const std::size_t used = std::min(size, zx::kVolumeBytes);
    zxfuzz::Check(planes == int((used + zx::kPlaneBytes - 1) / zx::kPlaneBytes));
    zxfuzz::Check(std::memcmp(volume.data(), data, used) == 0);
    for (std::size_t i = used; i < std::min(zx::kVolumeBytes, used + 4096); ++i)
        zxfuzz::Check(volume[i] == 0xA5);
    return 0;
}
