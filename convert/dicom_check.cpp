#include "convert/dicom_check.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/posix_file.h"
#include "convert/converted_volume.h"

namespace zx {
namespace {

constexpr std::uint32_t kUndefined = 0xffffffffu;

/// The file, mapped read-only for the walk.
struct Mapped {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    explicit Mapped(const std::string& path) {
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.Valid()) return;
        struct stat st {};
        if (::fstat(fd.Get(), &st) == 0 && st.st_size > 0) {
            void* p = ::mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd.Get(), 0);
            if (p != MAP_FAILED) {
                data = static_cast<const unsigned char*>(p);
                size = std::size_t(st.st_size);
            }
        }
    }
    ~Mapped() {
        if (data) ::munmap(const_cast<unsigned char*>(data), size);
    }
    Mapped(const Mapped&) = delete;
    Mapped& operator=(const Mapped&) = delete;
};

bool LongLength(std::string_view vr) {
    for (const char* v : {"OB", "OD", "OF", "OL", "OV", "OW", "SQ", "SV", "UC", "UN", "UR", "UT", "UV"})
        if (vr == v) return true;
    return false;
}

bool KnownVr(std::string_view vr) {
    static constexpr const char* kShort[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FL", "FD", "IS",
                                             "LO", "LT", "PN", "SH", "SL", "SS", "ST", "TM", "UI", "UL", "US"};
    for (const char* v : kShort)
        if (vr == v) return true;
    return LongLength(vr);
}

struct Walker {
    const unsigned char* p;
    std::size_t size;
    std::string name;
    bool bigEndian = false;

    [[noreturn]] void Broken() const {
        throw ConvertError("Die DICOM-Datei " + name + " kann nicht dekodiert werden.");
    }
    std::uint16_t U16(std::size_t at, bool big) const {
        return big ? std::uint16_t(p[at] << 8 | p[at + 1]) : std::uint16_t(p[at] | p[at + 1] << 8);
    }
    std::uint32_t U32(std::size_t at, bool big) const {
        return big ? std::uint32_t(U16(at, true)) << 16 | U16(at + 2, true)
                   : std::uint32_t(U16(at, false)) | std::uint32_t(U16(at + 2, false)) << 16;
    }
};

}  // namespace

bool HasDicomPreamble(const std::string& path) {
    const Mapped file(path);
    return file.size >= 132 && std::memcmp(file.data + 128, "DICM", 4) == 0;
}

const unsigned char* ReadNativeSamples(const std::string& path, const DicomLayout& layout, std::uint64_t bytes,
                                       std::vector<unsigned char>& buffer) {
    auto broken = [&] {
        throw ConvertError("Die DICOM-Datei " + path.substr(path.find_last_of('/') + 1) + " kann nicht dekodiert werden.");
    };
    // Read, not mapped: the kernel copies whole pages at full speed, where
    // a fresh mapping is faulted in and fetched from memory page by page.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) broken();
    // A file shorter than its samples ends the reading early.
    buffer.resize(std::size_t(bytes));
    if (ReadFullyAt(fd.Get(), buffer.data(), buffer.size(), layout.pixelOffset) != ssize_t(buffer.size())) broken();
    return buffer.data();
}

DicomLayout CheckDicomFile(const std::string& path, const std::string& name) {
    DicomLayout layout;
    const Mapped file(path);
    if (!file.data) return layout;  // unreadable: the decoder says so
    Walker w{file.data, file.size, name};
    std::size_t pos = 0;
    if (file.size >= 132 && std::memcmp(file.data + 128, "DICM", 4) == 0) pos = 132;
    // The file meta group is explicit little endian; the transfer syntax
    // it names decides the rest. Without one, the first element tells.
    std::string syntax;
    bool explicitVr = pos == 132 || (file.size >= 6 && KnownVr({reinterpret_cast<const char*>(file.data) + 4, 2}));
    bool big = false;
    bool metaDone = pos != 132;
    bool inFragments = false;
    // Ends of the sequences and items the walk is inside (undefined ones at
    // SIZE_MAX, closed by their delimiters); depth 0 is the data set itself.
    std::vector<std::size_t> open;
    std::uint32_t rows = 0, columns = 0, bits = 0, samples = 1, stored = 0, representation = 0;
    bool scalingRead = true;
    std::uint64_t frames = 1;
    std::int64_t pixelLength = -1;  // uncompressed Pixel Data of the data set
    bool encapsulated = false;
    while (pos + 8 <= file.size) {
        while (!open.empty() && open.back() != SIZE_MAX && pos >= open.back()) open.pop_back();
        const std::uint16_t group0 = w.U16(pos, false);
        if (!metaDone && group0 != 0x0002) {
            metaDone = true;
            explicitVr = syntax != "1.2.840.10008.1.2";
            big = syntax == "1.2.840.10008.1.2.2";
            if (syntax == "1.2.840.10008.1.2.1.99") return layout;  // deflated: not walkable
        }
        const bool b = metaDone && big;
        const std::uint16_t group = w.U16(pos, b), element = w.U16(pos + 2, b);
        std::uint32_t length;
        std::size_t header = 8;
        std::string_view vr;
        if (group == 0xfffe) {
            length = w.U32(pos + 4, b);
            pos += 8;
            if (element == 0xe000) {
                if (length != kUndefined && length > file.size - pos) w.Broken();
                if (inFragments) {
                    pos += length;  // a compressed fragment
                } else {
                    open.push_back(length == kUndefined ? SIZE_MAX : pos + length);
                }
            } else if (element == 0xe0dd && inFragments) {
                inFragments = false;
            } else if ((element == 0xe00d || element == 0xe0dd) && !open.empty() && open.back() == SIZE_MAX) {
                open.pop_back();
            }
            continue;
        }
        if (inFragments) w.Broken();  // only items belong in encapsulated Pixel Data
        if (explicitVr || !metaDone) {
            vr = {reinterpret_cast<const char*>(file.data) + pos + 4, 2};
            // The decoder would guess from here on, and believe lengths no
            // walk has checked: refused.
            if (!KnownVr(vr)) w.Broken();
            if (LongLength(vr)) {
                if (pos + 12 > file.size) w.Broken();
                length = w.U32(pos + 8, b);
                header = 12;
            } else {
                length = w.U16(pos + 6, b);
            }
        } else {
            length = w.U32(pos + 4, b);
        }
        pos += header;
        const bool top = open.empty();
        if (length == kUndefined) {
            if (group == 0x7fe0 && element == 0x0010) {
                inFragments = true;
                encapsulated = encapsulated || top;
            } else {
                open.push_back(SIZE_MAX);  // a sequence (or UN) of items
            }
            continue;
        }
        if (length > file.size - pos) w.Broken();
        if (vr == "SQ") {
            open.push_back(pos + length);
            continue;
        }
        const unsigned char* value = file.data + pos;
        if (group == 0x0002 && element == 0x0010) {
            syntax.assign(reinterpret_cast<const char*>(value), length);
            while (!syntax.empty() && (syntax.back() == '\0' || syntax.back() == ' ')) syntax.pop_back();
        }
        if (top && group == 0x0028 && length >= 2) {
            const std::uint16_t us = w.U16(pos, b);
            if (element == 0x0010) rows = us;
            if (element == 0x0011) columns = us;
            if (element == 0x0100) bits = us;
            if (element == 0x0002) samples = us;
            if (element == 0x0101) stored = us;
            if (element == 0x0103) representation = us;
            if (element == 0x1052 || element == 0x1053) {
                const std::string text(reinterpret_cast<const char*>(value), std::min<std::uint32_t>(length, 32));
                char* end = nullptr;
                const double v = std::strtod(text.c_str(), &end);
                if (end == text.c_str()) scalingRead = false;
                (element == 0x1052 ? layout.intercept : layout.slope) = v;
            }
            if (element == 0x0008) {
                const std::string text(reinterpret_cast<const char*>(value), std::min<std::uint32_t>(length, 16));
                const long long n = std::atoll(text.c_str());
                frames = n > 1 ? std::uint64_t(n) : 1;
            }
        }
        if (top && group == 0x7fe0 && element == 0x0010) {
            pixelLength = length;
            layout.pixelOffset = pos;
        }
        pos += length;
    }
    const std::uint64_t values = std::uint64_t(rows) * columns * samples;
    if (double(values) * ((bits + 7) / 8) * double(frames) > double(kMaxDicomImageBytes))
        throw ConvertError("Die DICOM-Datei " + name + " ist zu groß (Datei zu groß: mehr als 512 MiB Bilddaten).");
    const std::uint64_t bytes = (values * bits + 7) / 8 * frames;
    if (pixelLength >= 0 && !encapsulated && std::uint64_t(pixelLength) < bytes) w.Broken();
    layout.bits = int(bits);
    layout.signedSamples = representation == 1;
    layout.native = (syntax == "1.2.840.10008.1.2" || syntax == "1.2.840.10008.1.2.1") && pixelLength >= 0 &&
                    !encapsulated && samples == 1 && frames == 1 && (bits == 8 || bits == 16) && stored == bits &&
                    representation <= 1 && scalingRead && std::isfinite(layout.slope) && std::isfinite(layout.intercept);
    return layout;
}

}  // namespace zx
