// The import window's DICOM byte scan and sample read: never past the
// sample buffer, a found image fits it, and the picture has its size.
#include <memory>

#include "core/import/image_reader.h"
#include "core/volume/runtime_error.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto reader = std::make_unique<zx::TImageReader>();
    const zxfuzz::InputFile in(data, size, ".dcm");
    QString caption;
    try {
        reader->OpenAFile(in.Path(), caption);
    } catch (const zx::RuntimeError&) {
        zxfuzz::Check(!reader->IsDicom);
        return 0;
    }
    if (reader->IsDicom) {
        zxfuzz::Check(std::int64_t(reader->Rows) * reader->Columns <= zx::kPixBufSamples);
        zxfuzz::Check(reader->PixelDataPos >= 8 && std::size_t(reader->PixelDataPos) <= size);
        zxfuzz::Check(reader->BytesRead >= 0 && reader->BytesRead <= 2 * zx::kPixBufSamples);
    }
    const QImage pic = reader->CopyBufToPic();
    if (reader->Rows && reader->Columns &&
        std::int64_t(reader->Rows) * reader->Columns <= 1 << 20) {
        zxfuzz::Check(pic.width() == reader->Columns && pic.height() == reader->Rows);
    }
    return 0;
}
