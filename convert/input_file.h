// Reading the files of outside formats: plain files through stdio, gzip
// (and zlib) streams inflated by zlib, forward only and a few hundred KiB
// of buffers whatever the size of the file.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace zx {

[[noreturn]] void FailFile(const std::string& path, const std::string& reason);

class StreamedInput {
public:
    enum class Packing {
        Detect,  ///< gzip when the data starts with gzip's two magic bytes, else plain
        Plain,
        Deflated,  ///< gzip or zlib stream
    };

    /// The file's data from byte `start` on (positions count from there).
    explicit StreamedInput(const std::string& path, Packing packing = Packing::Detect,
                           std::uint64_t start = 0);
    ~StreamedInput();
    StreamedInput(const StreamedInput&) = delete;
    StreamedInput& operator=(const StreamedInput&) = delete;

    bool Compressed() const { return gzip_; }
    /// Size of the data of an uncompressed file; the decompressed size of a
    /// gzip file is only known after reading it.
    std::optional<std::uint64_t> PlainSize() const {
        if (gzip_) return std::nullopt;
        return plainSize_;
    }
    std::uint64_t Position() const { return position_; }

    /// Reads exactly n bytes or throws, naming `what` was being read.
    void ReadExactly(void* dst, std::size_t n, const char* what);
    /// Reads up to n bytes; fewer only at the end of the data.
    std::size_t ReadUpTo(void* dst, std::size_t n);
    /// Moves forward to position `pos` (never backwards).
    void SkipTo(std::uint64_t pos, const char* what);

    /// A gzip file is read on to the end of its stream, where inflate checks
    /// the CRC and length of each member's trailer: a cut or altered file is
    /// refused, not converted from the data before the cut. Data beyond
    /// `declaredEnd` (what the header describes) is read up to 64 MiB more,
    /// then refused: no bomb of trailing zeros keeps the converter busy.
    /// After `readLimit` more bytes the check ends without a verdict (the
    /// later volumes of a large 4-D file).
    void CheckEnd(std::uint64_t declaredEnd, std::uint64_t readLimit = ~std::uint64_t{0});

private:
    /// Refills the compressed input, the `keep` bytes still unread first;
    /// false when the file had nothing more.
    bool MoreInput(std::size_t keep = 0);
    std::size_t Inflate(unsigned char* dst, std::size_t n);
    std::size_t ReadSome(unsigned char* dst, std::size_t n);
    [[noreturn]] void ShortRead(const char* what);

    std::string path_;
    std::FILE* file_ = nullptr;
    bool gzip_ = false;
    bool zlibInit_ = false;
    z_stream zs_{};
    std::vector<unsigned char> in_;
    bool ended_ = false;  ///< past the last member's trailer
    bool cut_ = false;    ///< the file ended inside a member
    std::uint64_t start_ = 0;
    std::uint64_t plainSize_ = 0;
    std::uint64_t position_ = 0;
};

}  // namespace zx
