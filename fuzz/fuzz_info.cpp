// The info-file reader: any input ends in a result or a RuntimeError; the
// comment lines never outnumber the bytes, and a picture is a real picture.
#include "core/volume/info_file.h"
#include "core/volume/runtime_error.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zxfuzz::InputFile in(data, size, ".zxi");
    try {
        const zx::InfoFile info = zx::ReadInfoFile(in.Path());
        zxfuzz::Check(std::size_t(info.comments.size()) <= size);
        if (info.bitmapsTagRead && info.pictureCount >= 1 && !info.pictureInvalid) {
            zxfuzz::Check(!info.picture.isNull());
        }
    } catch (const zx::RuntimeError&) {
    }
    return 0;
}
