#include "convert/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "convert/converted_volume.h"

namespace zx {
namespace {

constexpr std::size_t kReadChunk = std::size_t{16} << 20;  // 16 MiB

}  // namespace

void FailFile(const std::string& path, const std::string& reason) {
    throw ConvertError(path + ": " + reason);
}

StreamedInput::StreamedInput(const std::string& path, Packing packing, std::uint64_t start)
    : path_(path), start_(start) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) FailFile(path_, "Datei nicht gefunden");
    if (std::filesystem::is_directory(status)) FailFile(path_, "ist ein Ordner, keine Datei");
    // A pipe or a device would never end.
    if (!std::filesystem::is_regular_file(status)) FailFile(path_, "ist keine gewöhnliche Datei");

    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        FailFile(path_,
                 std::string("Datei kann nicht geöffnet werden (") + std::strerror(errno) + ")");
    if (std::fseek(file_, 0, SEEK_END) != 0)
        FailFile(path_, "Dateigröße kann nicht bestimmt werden");
    const long size = std::ftell(file_);
    if (size < 0) FailFile(path_, "Dateigröße kann nicht bestimmt werden");
    if (start > static_cast<std::uint64_t>(size))
        FailFile(path_, "die Datei endet, bevor ihre Bilddaten beginnen");
    if (std::fseek(file_, static_cast<long>(start), SEEK_SET) != 0)
        FailFile(path_, "Datei kann nicht gelesen werden");

    bool deflated = packing == Packing::Deflated;
    if (packing == Packing::Detect) {
        unsigned char magic[2] = {0, 0};
        const std::size_t got = std::fread(magic, 1, 2, file_);
        if (std::ferror(file_))
            FailFile(path_,
                     std::string("Datei kann nicht gelesen werden (") + std::strerror(errno) + ")");
        deflated = got == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
        std::fseek(file_, static_cast<long>(start), SEEK_SET);
    }
    if (deflated) {
        // Inflated here rather than through gzread: a stream whose input
        // ends exactly where its data does, its trailer cut off, would pass
        // gzread as a whole file. 15 + 32: gzip or zlib, told by the header.
        in_.resize(256 * 1024);
        if (inflateInit2(&zs_, 15 + 32) != Z_OK)
            FailFile(path_, "komprimierte Datei kann nicht geöffnet werden");
        zlibInit_ = true;
        gzip_ = true;
    } else {
        plainSize_ = static_cast<std::uint64_t>(size) - start;
    }
}

StreamedInput::~StreamedInput() {
    if (file_) std::fclose(file_);
    if (zlibInit_) inflateEnd(&zs_);
}

void StreamedInput::ReadExactly(void* dst, std::size_t n, const char* what) {
    auto* out = static_cast<unsigned char*>(dst);
    std::size_t done = 0;
    while (done < n) {
        const std::size_t want = std::min(n - done, kReadChunk);
        const std::size_t got = ReadSome(out + done, want);
        done += got;
        if (got < want) ShortRead(what);
    }
}

std::size_t StreamedInput::ReadUpTo(void* dst, std::size_t n) {
    auto* out = static_cast<unsigned char*>(dst);
    std::size_t done = 0;
    while (done < n) {
        const std::size_t got = ReadSome(out + done, n - done);
        if (got == 0) break;
        done += got;
    }
    return done;
}

void StreamedInput::SkipTo(std::uint64_t pos, const char* what) {
    if (pos < position_) FailFile(path_, "interner Fehler: Rücksprung in der Datei nicht möglich");
    if (!gzip_) {
        if (pos > plainSize_) ShortRead(what);
        if (std::fseek(file_, static_cast<long>(start_ + pos), SEEK_SET) != 0) ShortRead(what);
        position_ = pos;
        return;
    }
    std::vector<unsigned char> scratch(256 * 1024);
    while (position_ < pos) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(pos - position_, scratch.size()));
        if (ReadSome(scratch.data(), want) < want) ShortRead(what);
    }
}

void StreamedInput::CheckEnd(std::uint64_t declaredEnd, std::uint64_t readLimit) {
    if (!gzip_) return;
    const std::uint64_t most = declaredEnd + (std::uint64_t{64} << 20);
    const std::uint64_t from = position_;
    std::vector<unsigned char> scratch(256 * 1024);
    while (ReadSome(scratch.data(), scratch.size()) > 0) {
        if (position_ - from > readLimit) return;
        if (position_ > most)
            FailFile(path_,
                     "die komprimierte Datei enthält weit mehr Daten, als ihr Dateikopf angibt");
    }
    if (cut_)
        FailFile(path_, "die komprimierte Datei ist abgeschnitten oder beschädigt: ihr Ende fehlt");
}

bool StreamedInput::MoreInput(std::size_t keep) {
    if (keep > 0) std::memmove(in_.data(), zs_.next_in, keep);
    const std::size_t got = std::fread(in_.data() + keep, 1, in_.size() - keep, file_);
    if (std::ferror(file_))
        FailFile(path_, std::string("Lesefehler (") + std::strerror(errno) + ")");
    zs_.next_in = in_.data();
    zs_.avail_in = static_cast<uInt>(keep + got);
    return got > 0;
}

std::size_t StreamedInput::Inflate(unsigned char* dst, std::size_t n) {
    zs_.next_out = dst;
    zs_.avail_out = static_cast<uInt>(n);
    while (zs_.avail_out > 0 && !ended_) {
        if (zs_.avail_in == 0 && !MoreInput()) {
            cut_ = true;  // the input ended inside a member
            break;
        }
        const int r = inflate(&zs_, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
            // Another member may follow (as gzip concatenates them);
            // anything else after a member is ignored, as gzip does.
            // The next member's magic may straddle two reads: its first
            // byte is kept at the front of the buffer, the rest read after it.
            if (zs_.avail_in == 1) MoreInput(1);
            if (zs_.avail_in == 0 && !MoreInput()) {
                ended_ = true;
            } else if (zs_.avail_in >= 2 && zs_.next_in[0] == 0x1f && zs_.next_in[1] == 0x8b) {
                inflateReset(&zs_);
            } else {
                ended_ = true;
            }
        } else if (r != Z_OK && r != Z_BUF_ERROR) {
            FailFile(path_, std::string("die komprimierten Daten sind beschädigt (zlib: ") +
                                (zs_.msg ? zs_.msg : "?") + ")");
        }
    }
    return n - zs_.avail_out;
}

std::size_t StreamedInput::ReadSome(unsigned char* dst, std::size_t n) {
    std::size_t got = 0;
    if (gzip_) {
        got = Inflate(dst, n);
    } else {
        got = std::fread(dst, 1, n, file_);
        if (std::ferror(file_))
            FailFile(path_, std::string("Lesefehler (") + std::strerror(errno) + ")");
    }
    position_ += got;
    return got;
}

void StreamedInput::ShortRead(const char* what) {
    if (cut_)
        FailFile(path_,
                 std::string("die komprimierte Datei ist abgeschnitten oder beschädigt, beim "
                             "Lesen von: ") +
                     what);
    FailFile(path_,
             std::string("die Datei endet zu früh: sie ist kürzer, als es verlangt: ") + what);
}

}  // namespace zx
