#include "convert/dicom_check.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "base/posix_file.h"
#include "convert/converted_volume.h"

namespace zx {
namespace {

constexpr std::uint32_t kUndefined = 0xffffffffu;

/// The file, in memory for the walk: a file of up to 4 MiB is read into a
/// buffer kept by the thread (the index walks many small files on two
/// threads, and unmapping each would stop the other thread's core too, to
/// flush its address translations); a larger one is mapped read-only.
struct Mapped {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    bool mapped = false;
    explicit Mapped(const std::string& path) {
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.Valid()) return;
        struct stat st {};
        if (::fstat(fd.Get(), &st) != 0 || st.st_size <= 0) return;
        const std::size_t n = std::size_t(st.st_size);
        if (n <= kReadLimit) {
            thread_local std::vector<unsigned char> buffer;
            if (buffer.size() < n) buffer.resize(n);
            std::size_t got = 0;
            while (got < n) {
                const ssize_t r = ::pread(fd.Get(), buffer.data() + got, n - got, off_t(got));
                if (r < 0 && errno == EINTR) continue;
                if (r <= 0) break;
                got += std::size_t(r);
            }
            data = buffer.data();
            size = got;  // a file that shrank meanwhile is walked as it is now
            return;
        }
        void* p = ::mmap(nullptr, n, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
        if (p != MAP_FAILED) {
            data = static_cast<const unsigned char*>(p);
            size = n;
            mapped = true;
        }
    }
    ~Mapped() {
        if (mapped) ::munmap(const_cast<unsigned char*>(data), size);
    }
    Mapped(const Mapped&) = delete;
    Mapped& operator=(const Mapped&) = delete;
    static constexpr std::size_t kReadLimit = std::size_t{4} << 20;
};

bool LongLength(std::string_view vr) {
    for (const char* v :
         {"OB", "OD", "OF", "OL", "OV", "OW", "SQ", "SV", "UC", "UN", "UR", "UT", "UV"})
        if (vr == v) return true;
    return false;
}

bool KnownVr(std::string_view vr) {
    static constexpr const char* kShort[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT",
                                             "FL", "FD", "IS", "LO", "LT", "PN", "SH",
                                             "SL", "SS", "ST", "TM", "UI", "UL", "US"};
    for (const char* v : kShort)
        if (vr == v) return true;
    return LongLength(vr);
}

struct Walker {
    const unsigned char* p;
    std::size_t size;
    std::string name;

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

/// Where the walk is in the nesting of sequences and items.
struct Nesting {
    /// Ends of the sequences and items the walk is inside (undefined ones
    /// at SIZE_MAX, closed by their delimiters); empty: the data set itself.
    std::vector<std::size_t> open;
    bool inFragments = false;   ///< inside encapsulated Pixel Data
    bool topFragments = false;  ///< …that of the data set itself (not an icon's)
    /// The fragments of the data set's encapsulated Pixel Data: where
    /// each starts in the file and its length (the first is the offset table).
    std::vector<std::pair<std::size_t, std::size_t>> fragments;
};

/// An item, an item delimiter or a sequence delimiter (group FFFE) whose
/// value starts at `pos`: a compressed fragment is stepped over, an item
/// opened, a delimiter closes what it ends.
void StepItem(const Walker& w, std::uint16_t element, std::uint32_t length, std::size_t& pos,
              Nesting& nesting) {
    std::vector<std::size_t>& open = nesting.open;
    // Group FFFE holds items and delimiters only: anything else there the
    // decoder would read as an element of whatever length it declares.
    if (element != 0xe000 && element != 0xe00d && element != 0xe0dd) w.Broken();
    if (element == 0xe000) {
        if (length != kUndefined && length > w.size - pos) w.Broken();
        if (nesting.inFragments) {
            if (nesting.topFragments) nesting.fragments.emplace_back(pos, length);
            pos += length;  // a compressed fragment
        } else {
            open.push_back(length == kUndefined ? SIZE_MAX : pos + length);
        }
    } else if (element == 0xe0dd && nesting.inFragments) {
        nesting.inFragments = false;
        nesting.topFragments = false;
    } else if ((element == 0xe00d || element == 0xe0dd) && !open.empty() &&
               open.back() == SIZE_MAX) {
        open.pop_back();
    }
}

/// An element's header: its value representation (explicit VR only), the
/// length of its value and its own size.
struct ElementHead {
    std::string_view vr;
    std::uint32_t length = 0;
    std::size_t header = 8;
};

/// The header of the element at `pos` (not an item); an unknown value
/// representation or a header cut off by the end of the file is damage.
ElementHead ReadHead(const Walker& w, std::size_t pos, bool explicitVr, bool big) {
    ElementHead h;
    if (!explicitVr) {
        h.length = w.U32(pos + 4, big);
        return h;
    }
    h.vr = {reinterpret_cast<const char*>(w.p) + pos + 4, 2};
    // The decoder would guess from here on, and believe lengths no walk has
    // checked: refused.
    if (!KnownVr(h.vr)) w.Broken();
    if (LongLength(h.vr)) {
        if (pos + 12 > w.size) w.Broken();
        h.length = w.U32(pos + 8, big);
        h.header = 12;
    } else {
        h.length = w.U16(pos + 6, big);
    }
    return h;
}

/// What the data set itself (not its sequences) says of the image.
struct ImageFacts {
    std::uint32_t rows = 0, columns = 0, bits = 0, samples = 1, stored = 0, representation = 0;
    bool scalingRead = true;
    std::uint64_t frames = 1;
    std::int64_t pixelLength = -1;  ///< uncompressed Pixel Data, −1: none
    bool encapsulated = false;
};

/// An element of group 0028 (image pixel description) of the data set,
/// its value of `length` ≥ 2 bytes at `pos`.
void NoteImageElement(const Walker& w, std::uint16_t element, std::size_t pos, std::uint32_t length,
                      bool big, ImageFacts& facts, DicomLayout& layout) {
    const unsigned char* value = w.p + pos;
    const std::uint16_t us = w.U16(pos, big);
    if (element == 0x0010) facts.rows = us;
    if (element == 0x0011) facts.columns = us;
    if (element == 0x0100) facts.bits = us;
    if (element == 0x0002) facts.samples = us;
    if (element == 0x0101) facts.stored = us;
    if (element == 0x0103) facts.representation = us;
    if (element == 0x1052 || element == 0x1053) {
        const std::string text(reinterpret_cast<const char*>(value),
                               std::min<std::uint32_t>(length, 32));
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (end == text.c_str()) facts.scalingRead = false;
        (element == 0x1052 ? layout.intercept : layout.slope) = v;
    }
    if (element == 0x0008) {
        const std::string text(reinterpret_cast<const char*>(value),
                               std::min<std::uint32_t>(length, 16));
        const long long n = std::atoll(text.c_str());
        facts.frames = n > 1 ? std::uint64_t(n) : 1;
    }
}

/// The bytes of the data fragments of encapsulated Pixel Data (the offset
/// table left out) as one run, read where they lie in the file.
class FragmentBytes {
public:
    FragmentBytes(const Walker& w, const std::vector<std::pair<std::size_t, std::size_t>>& f)
        : w_(w) {
        for (std::size_t i = 1; i < f.size(); ++i) {
            spans_.push_back(f[i]);
            size_ += f[i].second;
        }
    }
    std::uint64_t Size() const { return size_; }
    std::uint64_t First() const { return spans_.empty() ? 0 : spans_[0].second; }
    /// The byte at `at` (< Size()).
    unsigned char At(std::uint64_t at) {
        while (at < start_) start_ -= spans_[--span_].second;
        while (at >= start_ + spans_[span_].second) start_ += spans_[span_++].second;
        return w_.p[spans_[span_].first + (at - start_)];
    }
    std::uint32_t Big(std::uint64_t at, int bytes) {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v = v << 8 | At(at + std::uint64_t(i));
        return v;
    }

private:
    const Walker& w_;
    std::vector<std::pair<std::size_t, std::size_t>> spans_;
    std::uint64_t size_ = 0, start_ = 0;
    std::size_t span_ = 0;
};

/// Whether the JPEG 2000 code stream from `at` (`end` its end) has a
/// main header whose marker segments all lie inside it: SOC, SIZ, then
/// segments up to the first tile (SOT), COD and QCD among them, COD long
/// enough for its transform fields and naming transforms that exist.
bool SoundCodeStream(FragmentBytes& b, std::uint64_t at, std::uint64_t end) {
    if (end - at < 4 || b.Big(at, 2) != 0xff4f || b.Big(at + 2, 2) != 0xff51) return false;
    at += 2;
    bool cod = false, qcd = false;
    while (end - at >= 2) {
        const std::uint32_t marker = b.Big(at, 2);
        if ((marker & 0xff00) != 0xff00) return false;
        if (marker == 0xff90) return cod && qcd;     // the first tile
        if (marker >= 0xff30 && marker <= 0xff3f) {  // reserved, no length
            at += 2;
            continue;
        }
        if (marker == 0xff93 || marker == 0xffd9 || end - at < 4) return false;
        const std::uint32_t length = b.Big(at + 2, 2);
        if (length < 2 || length > end - at - 2) return false;
        const std::uint64_t value = at + 4;
        if (marker == 0xff51 && length < 41) return false;
        if (marker == 0xff52) {
            if (length < 12 || b.At(value + 4) > 1 || b.At(value + 9) > 1) return false;
            cod = true;
        }
        if (marker == 0xff5c) qcd = true;
        at += 2 + length;
    }
    return false;
}

/// Whether the data fragments start with a JPEG 2000 image the decoder's
/// header reader can walk without leaving it: a code stream, or a JP2
/// file whose boxes lie inside the fragments up to the code stream box
/// and whose code stream does. The reader takes the first fragment for
/// the whole image, so it must hold more than a few bytes.
bool SoundJ2k(FragmentBytes& b) {
    if (b.First() < 16) return false;
    static constexpr unsigned char kJp2[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 13, 10, 0x87, 10};
    bool jp2 = true;
    for (std::uint64_t i = 0; i < 12; ++i) jp2 = jp2 && b.At(i) == kJp2[i];
    const std::uint64_t end = b.Size();
    if (!jp2) return SoundCodeStream(b, 0, end);
    std::uint64_t at = 0;
    while (end - at >= 8) {
        std::uint64_t length = b.Big(at, 4);
        const std::uint32_t type = b.Big(at + 4, 4);
        std::uint64_t header = 8;
        if (length == 1) {
            if (end - at < 16) return false;
            length = std::uint64_t(b.Big(at + 8, 4)) << 32 | b.Big(at + 12, 4);
            header = 16;
        } else if (length == 0) {
            length = end - at;  // to the end: only the code stream box may
        }
        if (length < header || length > end - at) return false;
        if (type == 0x6a703263) return SoundCodeStream(b, at + header, at + length);  // jp2c
        if (b.Big(at, 4) == 0) return false;
        at += length;
    }
    return false;
}

/// The walk's findings checked against the file: the decoded image's size
/// against the limit, the uncompressed samples against the bytes declared
/// for them; and whether the samples can be read as they lie.
DicomLayout Finish(const Walker& w, const ImageFacts& f, const std::string& syntax,
                   DicomLayout layout) {
    const std::uint64_t values = std::uint64_t(f.rows) * f.columns * f.samples;
    if (double(values) * ((f.bits + 7) / 8) * double(f.frames) > double(kMaxDicomImageBytes))
        throw ConvertError("Die DICOM-Datei " + w.name +
                           " ist zu groß (Datei zu groß: mehr als 512 MiB Bilddaten).");
    const std::uint64_t bytes = (values * f.bits + 7) / 8 * f.frames;
    if (f.pixelLength >= 0 && !f.encapsulated && std::uint64_t(f.pixelLength) < bytes) w.Broken();
    layout.bits = int(f.bits);
    layout.pixelData = f.pixelLength >= 0 || f.encapsulated;
    layout.signedSamples = f.representation == 1;
    layout.compressed =
        f.encapsulated && (syntax == "1.2.840.10008.1.2.5" || syntax == "1.2.840.10008.1.2.4.90" ||
                           syntax == "1.2.840.10008.1.2.4.91");
    layout.native = (syntax == "1.2.840.10008.1.2" || syntax == "1.2.840.10008.1.2.1") &&
                    f.pixelLength >= 0 && !f.encapsulated && f.samples == 1 && f.frames == 1 &&
                    (f.bits == 8 || f.bits == 16) && f.stored == f.bits && f.representation <= 1 &&
                    f.scalingRead && std::isfinite(layout.slope) && std::isfinite(layout.intercept);
    return layout;
}

}  // namespace

bool HasDicomPreamble(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    unsigned char head[132];
    return fd.Valid() && ::pread(fd.Get(), head, sizeof head, 0) == ssize_t(sizeof head) &&
           std::memcmp(head + 128, "DICM", 4) == 0;
}

const unsigned char* ReadNativeSamples(const std::string& path, const DicomLayout& layout,
                                       std::uint64_t bytes, std::vector<unsigned char>& buffer) {
    auto broken = [&] {
        throw ConvertError("Die DICOM-Datei " + path.substr(path.find_last_of('/') + 1) +
                           " kann nicht dekodiert werden.");
    };
    // Read, not mapped: the kernel copies whole pages at full speed, where
    // a fresh mapping is faulted in and fetched from memory page by page.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) broken();
    // A file shorter than its samples ends the reading early.
    buffer.resize(std::size_t(bytes));
    if (ReadFullyAt(fd.Get(), buffer.data(), buffer.size(), layout.pixelOffset) !=
        ssize_t(buffer.size()))
        broken();
    return buffer.data();
}

DicomLayout CheckDicomFile(const std::string& path, const std::string& name) {
    DicomLayout layout;
    const Mapped file(path);
    if (!file.data) return layout;  // unreadable: the decoder says so
    const Walker w{file.data, file.size, name};
    std::size_t pos = 0;
    if (file.size >= 132 && std::memcmp(file.data + 128, "DICM", 4) == 0) pos = 132;
    // The file meta group is explicit little endian; the transfer syntax
    // it names decides the rest. Without one, the first element tells.
    std::string syntax;
    bool explicitVr = pos == 132 || (file.size >= 6 &&
                                     KnownVr({reinterpret_cast<const char*>(file.data) + 4, 2}));
    bool big = false;
    bool metaDone = pos != 132;
    Nesting nesting;
    std::vector<std::size_t>& open = nesting.open;
    ImageFacts facts;
    while (pos + 8 <= file.size) {
        while (!open.empty() && open.back() != SIZE_MAX && pos >= open.back()) open.pop_back();
        const std::uint16_t group0 = w.U16(pos, false);
        if (!metaDone && group0 != 0x0002) {
            metaDone = true;
            explicitVr = syntax != "1.2.840.10008.1.2";
            big = syntax == "1.2.840.10008.1.2.2";
            if (syntax == "1.2.840.10008.1.2.1.99") {  // deflated: not walkable
                layout.dataSet = true;
                layout.pixelData = true;  // as far as the walk can tell
                return layout;
            }
        }
        const bool b = metaDone && big;
        const std::uint16_t group = w.U16(pos, b), element = w.U16(pos + 2, b);
        if (group != 0x0002) layout.dataSet = true;
        if (group == 0xfffe) {
            const std::uint32_t length = w.U32(pos + 4, b);
            pos += 8;
            StepItem(w, element, length, pos, nesting);
            continue;
        }
        if (nesting.inFragments) w.Broken();  // only items belong in encapsulated Pixel Data
        const ElementHead head = ReadHead(w, pos, explicitVr || !metaDone, b);
        const std::uint32_t length = head.length;
        pos += head.header;
        const bool top = open.empty();
        if (length == kUndefined) {
            if (group == 0x7fe0 && element == 0x0010) {
                nesting.inFragments = true;
                nesting.topFragments = top && !facts.encapsulated;
                facts.encapsulated = facts.encapsulated || top;
            } else {
                open.push_back(SIZE_MAX);  // a sequence (or UN) of items
            }
            continue;
        }
        if (length > file.size - pos) w.Broken();
        if (head.vr == "SQ") {
            open.push_back(pos + length);
            continue;
        }
        if (group == 0x0002 && element == 0x0010) {
            syntax.assign(reinterpret_cast<const char*>(file.data + pos), length);
            while (!syntax.empty() && (syntax.back() == '\0' || syntax.back() == ' '))
                syntax.pop_back();
        }
        if (top && group == 0x0028 && length >= 2)
            NoteImageElement(w, element, pos, length, b, facts, layout);
        if (top && group == 0x7fe0 && element == 0x0010) {
            facts.pixelLength = length;
            layout.pixelOffset = pos;
        }
        pos += length;
    }
    // GDCM's JPEG 2000 header reader believes the first fragment's marker
    // and box lengths and reads past them: such a file is damage.
    const bool j2k = syntax == "1.2.840.10008.1.2.4.90" || syntax == "1.2.840.10008.1.2.4.91" ||
                     syntax == "1.2.840.10008.1.2.4.92" || syntax == "1.2.840.10008.1.2.4.93";
    if (facts.encapsulated && j2k) {
        FragmentBytes bytes(w, nesting.fragments);
        if (!SoundJ2k(bytes)) w.Broken();
    }
    return Finish(w, facts, syntax, layout);
}

}  // namespace zx
