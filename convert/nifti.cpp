#include "convert/nifti.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <sstream>
#include <system_error>
#include <type_traits>

#include "convert/labels.h"
#include "convert/pipeline.h"
#include "convert/plane_stream.h"

namespace zx {
namespace {

constexpr std::uint64_t kMaxImageBytes = std::uint64_t{2} << 30;  // 2 GiB
constexpr std::size_t kReadChunk = std::size_t{16} << 20;         // 16 MiB
// Images are converted plane by plane; one plane must fit in memory.
constexpr std::uint64_t kMaxPlaneBytes = std::uint64_t{64} << 20;
constexpr std::uint64_t kSlabBytes = std::uint64_t{4} << 20;
// Atlas labels are looked up anywhere in the image, so an atlas is held
// whole (in its stored type): at most this much.
constexpr std::uint64_t kMaxLabelBytes = std::uint64_t{512} << 20;

constexpr std::size_t kNifti1HeaderSize = 348;
constexpr std::size_t kNifti2HeaderSize = 540;

// NIfTI datatype codes this reader understands.
enum DataType : int {
    kUInt8 = 2,
    kInt16 = 4,
    kInt32 = 8,
    kFloat32 = 16,
    kFloat64 = 64,
    kInt8 = 256,
    kUInt16 = 512,
    kUInt32 = 768,
};

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw ConvertError(path + ": " + reason);
}

std::string DescribeDataType(int code) {
    switch (code) {
        case 0:
            return "unbekannt";
        case 1:
            return "binär (1 Bit)";
        case 32:
            return "complex64";
        case 128:
            return "RGB24";
        case 1024:
            return "int64";
        case 1280:
            return "uint64";
        case 1536:
            return "float128";
        case 1792:
            return "complex128";
        case 2048:
            return "complex256";
        case 2304:
            return "RGBA32";
        default:
            return "Code " + std::to_string(code);
    }
}

int BytesPerVoxel(int datatype) {
    switch (datatype) {
        case kUInt8:
        case kInt8:
            return 1;
        case kInt16:
        case kUInt16:
            return 2;
        case kInt32:
        case kUInt32:
        case kFloat32:
            return 4;
        case kFloat64:
            return 8;
        default:
            return 0;
    }
}

// ---------------------------------------------------------------------------
// File access: plain files through stdio, gzip files inflated by zlib.

class InputFile {
public:
    explicit InputFile(const std::string& path) : path_(path) {
        std::error_code ec;
        const auto status = std::filesystem::status(path, ec);
        if (ec || !std::filesystem::exists(status)) Fail(path_, "Datei nicht gefunden");
        if (std::filesystem::is_directory(status)) Fail(path_, "ist ein Ordner, keine Datei");
        // A pipe or a device would never end.
        if (!std::filesystem::is_regular_file(status)) Fail(path_, "ist keine gewöhnliche Datei");

        file_ = std::fopen(path.c_str(), "rb");
        if (!file_)
            Fail(path_,
                 std::string("Datei kann nicht geöffnet werden (") + std::strerror(errno) + ")");

        unsigned char magic[2] = {0, 0};
        const std::size_t got = std::fread(magic, 1, 2, file_);
        if (std::ferror(file_))
            Fail(path_,
                 std::string("Datei kann nicht gelesen werden (") + std::strerror(errno) + ")");
        if (got == 2 && magic[0] == 0x1f && magic[1] == 0x8b) {
            // Inflated here rather than through gzread: a stream whose
            // input ends exactly where its data does, its trailer cut off,
            // would pass gzread as a whole file.
            std::rewind(file_);
            in_.resize(256 * 1024);
            if (inflateInit2(&zs_, 15 + 16) != Z_OK)
                Fail(path_, "gzip-komprimierte Datei kann nicht geöffnet werden");
            gzip_ = true;
        } else {
            if (std::fseek(file_, 0, SEEK_END) != 0)
                Fail(path_, "Dateigröße kann nicht bestimmt werden");
            const long size = std::ftell(file_);
            if (size < 0) Fail(path_, "Dateigröße kann nicht bestimmt werden");
            plainSize_ = static_cast<std::uint64_t>(size);
            std::rewind(file_);
        }
    }
    ~InputFile() {
        if (file_) std::fclose(file_);
        if (gzip_) inflateEnd(&zs_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Compressed() const { return gzip_; }
    // Size of an uncompressed file; the decompressed size of a gzip file is
    // only known after reading it.
    std::optional<std::uint64_t> PlainSize() const {
        if (gzip_) return std::nullopt;
        return plainSize_;
    }

    // Reads exactly n bytes or throws, naming `what` was being read.
    void ReadExactly(void* dst, std::size_t n, const char* what) {
        auto* out = static_cast<unsigned char*>(dst);
        std::size_t done = 0;
        while (done < n) {
            const std::size_t want = std::min(n - done, kReadChunk);
            const std::size_t got = ReadSome(out + done, want);
            done += got;
            if (got < want) ShortRead(what);
        }
    }

    // Moves forward to absolute offset `pos` (never backwards).
    void SkipTo(std::uint64_t pos, const char* what) {
        if (pos < position_) Fail(path_, "interner Fehler: Rücksprung in der Datei nicht möglich");
        if (!gzip_) {
            if (pos > plainSize_) ShortRead(what);
            if (std::fseek(file_, static_cast<long>(pos), SEEK_SET) != 0) ShortRead(what);
            position_ = pos;
            return;
        }
        std::vector<unsigned char> scratch(64 * 1024);
        while (position_ < pos) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(pos - position_, scratch.size()));
            if (ReadSome(scratch.data(), want) < want) ShortRead(what);
        }
    }

    // A gzip file is read on to the end of its stream, where inflate checks
    // the CRC and length of each member's trailer: a cut or altered file is
    // refused, not converted from the data before the cut. Data beyond
    // `declaredEnd` (what the header describes) is read up to 64 MiB more,
    // then refused: no bomb of trailing zeros keeps the converter busy.
    void CheckEnd(std::uint64_t declaredEnd) {
        if (!gzip_) return;
        const std::uint64_t most = declaredEnd + (std::uint64_t{64} << 20);
        std::vector<unsigned char> scratch(256 * 1024);
        while (ReadSome(scratch.data(), scratch.size()) > 0) {
            if (position_ > most)
                Fail(path_,
                     "die gzip-komprimierte Datei enthält weit mehr Daten, als der "
                     "Dateikopf angibt");
        }
        if (cut_)
            Fail(path_,
                 "die gzip-komprimierte Datei ist abgeschnitten oder beschädigt: "
                 "ihr Ende fehlt");
    }

private:
    // Fills the input buffer; false at the end of the file.
    bool MoreInput() {
        const std::size_t got = std::fread(in_.data(), 1, in_.size(), file_);
        if (std::ferror(file_))
            Fail(path_, std::string("Lesefehler (") + std::strerror(errno) + ")");
        zs_.next_in = in_.data();
        zs_.avail_in = static_cast<uInt>(got);
        return got > 0;
    }

    std::size_t Inflate(unsigned char* dst, std::size_t n) {
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
                if (zs_.avail_in == 0 && !MoreInput()) {
                    ended_ = true;
                } else if (zs_.avail_in >= 2 && zs_.next_in[0] == 0x1f && zs_.next_in[1] == 0x8b) {
                    inflateReset(&zs_);
                } else {
                    ended_ = true;
                }
            } else if (r != Z_OK && r != Z_BUF_ERROR) {
                Fail(path_, std::string("die gzip-komprimierten Daten sind beschädigt (zlib: ") +
                                (zs_.msg ? zs_.msg : "?") + ")");
            }
        }
        return n - zs_.avail_out;
    }

    std::size_t ReadSome(unsigned char* dst, std::size_t n) {
        std::size_t got = 0;
        if (gzip_) {
            got = Inflate(dst, n);
        } else {
            got = std::fread(dst, 1, n, file_);
            if (std::ferror(file_))
                Fail(path_, std::string("Lesefehler (") + std::strerror(errno) + ")");
        }
        position_ += got;
        return got;
    }

    [[noreturn]] void ShortRead(const char* what) {
        if (cut_)
            Fail(path_, std::string("die gzip-komprimierte Datei ist abgeschnitten oder "
                                    "beschädigt, beim Lesen von: ") +
                            what);
        Fail(path_,
             std::string("die Datei endet zu früh: sie ist kürzer, als es verlangt: ") + what);
    }

    std::string path_;
    std::FILE* file_ = nullptr;
    bool gzip_ = false;
    z_stream zs_{};
    std::vector<unsigned char> in_;
    bool ended_ = false;  ///< past the last member's trailer
    bool cut_ = false;    ///< the file ended inside a member
    std::uint64_t plainSize_ = 0;
    std::uint64_t position_ = 0;
};

// ---------------------------------------------------------------------------
// Header decoding.

struct Header {
    bool nifti2 = false;
    bool bigEndian = false;
    std::size_t headerSize = 0;
    std::array<std::int64_t, 8> dim{};
    std::array<double, 8> pixdim{};
    int datatype = 0;
    std::uint64_t voxOffset = 0;
    double sclSlope = 0, sclInter = 0;
    double calMin = 0, calMax = 0;
    int qformCode = 0, sformCode = 0;
    double quatern[3] = {0, 0, 0};
    double qoffset[3] = {0, 0, 0};
    double srow[3][4] = {};
};

// Reads a field of type T stored at `offset` in the given byte order.
template <typename T>
T Field(const unsigned char* buf, std::size_t offset, bool bigEndian) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, buf + offset, sizeof(T));
    const bool fileIsNative = bigEndian == (std::endian::native == std::endian::big);
    if (!fileIsNative) std::reverse(bytes, bytes + sizeof(T));
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

Header ReadHeader(InputFile& in, const std::string& path) {
    unsigned char buf[kNifti2HeaderSize] = {};
    in.ReadExactly(buf, 4, "ein NIfTI-Dateikopf");

    Header h;
    const std::int32_t sizeLE = Field<std::int32_t>(buf, 0, false);
    const std::int32_t sizeBE = Field<std::int32_t>(buf, 0, true);
    if (sizeLE == 348 || sizeLE == 540) {
        h.bigEndian = false;
    } else if (sizeBE == 348 || sizeBE == 540) {
        h.bigEndian = true;
    } else {
        Fail(
            path,
            "keine NIfTI-Datei: das Feld der Kopfgröße ist " + std::to_string(sizeLE) +
                " (erwartet 348 für NIfTI-1 oder 540 für NIfTI-2, in beliebiger Byte-Reihenfolge)");
    }
    const std::int32_t size = h.bigEndian ? sizeBE : sizeLE;
    h.nifti2 = size == 540;
    h.headerSize = h.nifti2 ? kNifti2HeaderSize : kNifti1HeaderSize;
    in.ReadExactly(buf + 4, h.headerSize - 4, "der NIfTI-Dateikopf");

    const bool be = h.bigEndian;
    if (!h.nifti2) {
        const char* magic = reinterpret_cast<const char*>(buf + 344);
        if (std::memcmp(magic, "ni1\0", 4) == 0)
            Fail(path,
                 "ist der Kopf eines getrennten .hdr/.img-Paars; gelesen werden nur einteilige "
                 "NIfTI-Dateien (.nii)");
        if (std::memcmp(magic, "n+1\0", 4) != 0)
            Fail(path, "keine NIfTI-1-Datei: die Kennung (magic) ist nicht \"n+1\"");
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = Field<std::int16_t>(buf, 40 + 2 * i, be);
            h.pixdim[i] = Field<float>(buf, 76 + 4 * i, be);
        }
        h.datatype = Field<std::int16_t>(buf, 70, be);
        const float voxOffset = Field<float>(buf, 108, be);
        if (!std::isfinite(voxOffset) || voxOffset < 0 || voxOffset > 1e15f)
            Fail(path, "ungültiger Datenbeginn (vox_offset) im Dateikopf");
        h.voxOffset = static_cast<std::uint64_t>(voxOffset);
        h.sclSlope = Field<float>(buf, 112, be);
        h.sclInter = Field<float>(buf, 116, be);
        h.calMax = Field<float>(buf, 124, be);
        h.calMin = Field<float>(buf, 128, be);
        h.qformCode = Field<std::int16_t>(buf, 252, be);
        h.sformCode = Field<std::int16_t>(buf, 254, be);
        for (int i = 0; i < 3; ++i) {
            h.quatern[i] = Field<float>(buf, 256 + 4 * i, be);
            h.qoffset[i] = Field<float>(buf, 268 + 4 * i, be);
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) h.srow[r][c] = Field<float>(buf, 280 + 16 * r + 4 * c, be);
    } else {
        const char* magic = reinterpret_cast<const char*>(buf + 4);
        if (std::memcmp(magic, "ni2\0", 4) == 0)
            Fail(path,
                 "ist der Kopf eines getrennten .hdr/.img-Paars; gelesen werden nur einteilige "
                 "NIfTI-Dateien (.nii)");
        if (std::memcmp(magic, "n+2\0\r\n\032\n", 8) != 0)
            Fail(path,
                 "keine NIfTI-2-Datei: die Kennung (magic) ist nicht \"n+2\" mit den erwarteten "
                 "Prüfbytes");
        h.datatype = Field<std::int16_t>(buf, 12, be);
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = Field<std::int64_t>(buf, 16 + 8 * i, be);
            h.pixdim[i] = Field<double>(buf, 104 + 8 * i, be);
        }
        const std::int64_t voxOffset = Field<std::int64_t>(buf, 168, be);
        if (voxOffset < 0) Fail(path, "ungültiger Datenbeginn (vox_offset) im Dateikopf");
        h.voxOffset = static_cast<std::uint64_t>(voxOffset);
        h.sclSlope = Field<double>(buf, 176, be);
        h.sclInter = Field<double>(buf, 184, be);
        h.calMax = Field<double>(buf, 192, be);
        h.calMin = Field<double>(buf, 200, be);
        h.qformCode = Field<std::int32_t>(buf, 344, be);
        h.sformCode = Field<std::int32_t>(buf, 348, be);
        for (int i = 0; i < 3; ++i) {
            h.quatern[i] = Field<double>(buf, 352 + 8 * i, be);
            h.qoffset[i] = Field<double>(buf, 376 + 8 * i, be);
        }
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) h.srow[r][c] = Field<double>(buf, 400 + 32 * r + 8 * c, be);
    }
    return h;
}

// Image size of the first 3-D volume, validated against the size limit.
struct Extent {
    std::array<std::int64_t, 3> n{};
    std::uint64_t voxels = 0;
    int bytesPerVoxel = 0;
    std::uint64_t bytes = 0;
};

Extent ValidateHeader(const Header& h, const std::string& path) {
    const std::int64_t rank = h.dim[0];
    if (rank < 1 || rank > 7)
        Fail(path, "ungültige Zahl der Dimensionen (dim[0] = " + std::to_string(rank) +
                       ", erlaubt sind 1 bis 7)");

    Extent e;
    for (int a = 0; a < 3; ++a) {
        // Axes beyond dim[0] have size 1 (a 2-D image is a single slice).
        e.n[a] = a + 1 <= rank ? h.dim[a + 1] : 1;
        if (e.n[a] <= 0)
            Fail(path, "ungültige Bildgröße: Dimension " + std::to_string(a + 1) + " ist " +
                           std::to_string(e.n[a]) + " (Größen müssen positiv sein)");
    }

    e.bytesPerVoxel = BytesPerVoxel(h.datatype);
    if (e.bytesPerVoxel == 0)
        Fail(path, "nicht unterstützter Voxel-Datentyp (" + DescribeDataType(h.datatype) +
                       "); unterstützt sind uint8, int8, int16, uint16, int32, uint32, float32 und "
                       "float64");

    // Overflow-safe size check, done before anything is allocated.
    std::uint64_t bytes = static_cast<std::uint64_t>(e.bytesPerVoxel);
    for (int a = 0; a < 3; ++a) {
        const auto n = static_cast<std::uint64_t>(e.n[a]);
        if (n > kMaxImageBytes / bytes) {
            std::ostringstream msg;
            msg << "Datei zu groß: " << e.n[0] << " x " << e.n[1] << " x " << e.n[2]
                << " Voxel zu je " << e.bytesPerVoxel << " Byte überschreiten die Grenze von 2 GiB";
            Fail(path, msg.str());
        }
        bytes *= n;
    }
    e.bytes = bytes;
    e.voxels = bytes / static_cast<std::uint64_t>(e.bytesPerVoxel);

    if (h.voxOffset < h.headerSize)
        Fail(path, "ungültiger Datenbeginn: vox_offset " + std::to_string(h.voxOffset) +
                       " liegt im Dateikopf");
    return e;
}

void CheckDataPresent(InputFile& in, const Header& h, const Extent& e, const std::string& path) {
    if (const auto size = in.PlainSize()) {
        if (h.voxOffset > *size)
            Fail(path, "der Datenbeginn (vox_offset " + std::to_string(h.voxOffset) +
                           ") liegt hinter dem Dateiende (" + std::to_string(*size) + " Bytes)");
        if (*size - h.voxOffset < e.bytes)
            Fail(path,
                 "die Datei enthält weniger Bilddaten (" + std::to_string(*size - h.voxOffset) +
                     " Bytes), als der Dateikopf verspricht (" + std::to_string(e.bytes) + ")");
    }
    in.SkipTo(h.voxOffset, "der Datenbeginn (vox_offset) im Dateikopf");
}

// Where the data of every volume the header declares ends (beyond the
// first volume, the axes 4 to 7), at most 2^62.
std::uint64_t DeclaredEnd(const Header& h, const Extent& e) {
    double bytes = double(e.bytes);
    for (std::int64_t a = 4; a <= h.dim[0] && a <= 7; ++a)
        bytes *= double(std::max<std::int64_t>(1, h.dim[a]));
    return std::uint64_t(std::min(double(h.voxOffset) + bytes, 4.6e18));
}

void ToHostOrder(const Header& h, int width, unsigned char* data, std::size_t bytes) {
    const bool fileIsNative = h.bigEndian == (std::endian::native == std::endian::big);
    if (fileIsNative || width == 1) return;
    for (std::size_t i = 0; i + std::size_t(width) <= bytes; i += std::size_t(width))
        std::reverse(data + i, data + i + width);
}

// Reads the first volume's raw bytes (at most kMaxLabelBytes) in the host
// byte order.
std::vector<unsigned char> ReadVoxelData(InputFile& in, const Header& h, const Extent& e,
                                         const std::string& path) {
    if (e.bytes > kMaxLabelBytes)
        Fail(path, "Datei zu groß: der Atlas hat mehr als 512 MiB Bilddaten");
    CheckDataPresent(in, h, e, path);
    std::vector<unsigned char> raw;
    // A gzip file's decompressed length is unknown: grow with the data
    // actually present so that a lying header cannot trigger a huge
    // allocation.
    while (raw.size() < e.bytes) {
        const std::size_t start = raw.size();
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(e.bytes - start, kReadChunk));
        raw.resize(start + chunk);
        in.ReadExactly(raw.data() + start, chunk, "die Bilddaten, die der Dateikopf verspricht");
    }
    in.CheckEnd(DeclaredEnd(h, e));
    ToHostOrder(h, e.bytesPerVoxel, raw.data(), raw.size());
    return raw;
}

// Hands the first volume to `stream` plane by plane, reading a few MiB at a
// time: memory stays bounded whatever the size of the file.
template <typename T>
void StreamPlanes(InputFile& in, const Header& h, const Extent& e, const Scaling& scaling,
                  PlaneStream& stream, const std::string& path) {
    const std::uint64_t planeBytes = std::uint64_t(e.n[0]) * std::uint64_t(e.n[1]) * sizeof(T);
    if (planeBytes > kMaxPlaneBytes)
        Fail(path, "Datei zu groß: eine Schicht hat mehr als 64 MiB Bilddaten");
    CheckDataPresent(in, h, e, path);
    const std::int64_t perRead = std::max<std::int64_t>(1, std::int64_t(kSlabBytes / planeBytes));
    std::vector<unsigned char> slab;
    for (std::int64_t k = 0; k < e.n[2]; k += perRead) {
        const std::int64_t count = std::min(perRead, e.n[2] - k);
        slab.resize(std::size_t(planeBytes) * std::size_t(count));
        in.ReadExactly(slab.data(), slab.size(), "die Bilddaten, die der Dateikopf verspricht");
        ToHostOrder(h, sizeof(T), slab.data(), slab.size());
        for (std::int64_t j = 0; j < count; ++j)
            stream.Add(k + j, reinterpret_cast<const T*>(slab.data() + std::size_t(j) * planeBytes),
                       scaling);
    }
    in.CheckEnd(DeclaredEnd(h, e));
}

// ---------------------------------------------------------------------------
// Geometry: voxel index (i, j, k) -> RAS+ world millimetres
// (+x toward the patient's right, +y anterior, +z superior).

double SafeSpacing(double v) {
    v = std::fabs(v);
    return (std::isfinite(v) && v > 0) ? v : 1.0;
}

std::optional<Matrix3> SformMatrix(const Header& h) {
    Matrix3 m{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            m[r][c] = h.srow[r][c];
            if (!std::isfinite(m[r][c])) return std::nullopt;
        }
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!std::isfinite(det) || det == 0) return std::nullopt;  // unusable, fall back
    return m;
}

Matrix3 QformMatrix(const Header& h) {
    double b = h.quatern[0], c = h.quatern[1], d = h.quatern[2];
    if (!std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d)) b = c = d = 0;
    double a = 1.0 - (b * b + c * c + d * d);
    if (a < 1e-7) {
        // Rotation by (nearly) 180 degrees: a is 0, renormalise (b, c, d).
        const double norm = std::sqrt(b * b + c * c + d * d);
        a = 0;
        b /= norm;
        c /= norm;
        d /= norm;
    } else {
        a = std::sqrt(a);
    }
    const Matrix3 r = {{
        {a * a + b * b - c * c - d * d, 2 * (b * c - a * d), 2 * (b * d + a * c)},
        {2 * (b * c + a * d), a * a + c * c - b * b - d * d, 2 * (c * d - a * b)},
        {2 * (b * d - a * c), 2 * (c * d + a * b), a * a + d * d - c * c - b * b},
    }};
    const double qfac = h.pixdim[0] == -1.0 ? -1.0 : 1.0;
    const double spacing[3] = {SafeSpacing(h.pixdim[1]), SafeSpacing(h.pixdim[2]),
                               qfac * SafeSpacing(h.pixdim[3])};
    Matrix3 m{};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) m[row][col] = r[row][col] * spacing[col];
    return m;
}

Matrix3 VoxelToWorld(const Header& h) {
    if (h.sformCode > 0)
        if (auto m = SformMatrix(h)) return *m;
    if (h.qformCode > 0) return QformMatrix(h);
    // No transform: array axes are taken as RAS with pixdim spacing.
    Matrix3 m{};
    for (int a = 0; a < 3; ++a) m[a][a] = SafeSpacing(h.pixdim[a + 1]);
    return m;
}

Scaling MakeScaling(const Header& h) {
    Scaling s;
    if (h.sclSlope != 0 && std::isfinite(h.sclSlope)) {
        s.slope = h.sclSlope;
        s.inter = std::isfinite(h.sclInter) ? h.sclInter : 0.0;
    }
    return s;
}

template <typename T>
ConvertedVolume Convert(InputFile& in, const Header& h, const Extent& e, const std::string& path) {
    std::optional<Window> window;
    if (std::isfinite(h.calMin) && std::isfinite(h.calMax) && h.calMax > h.calMin) {
        window = Window{h.calMin, h.calMax};
    }
    PlaneStream stream(e.n, VoxelToWorld(h), path, window);
    StreamPlanes<T>(in, h, e, MakeScaling(h), stream, path);
    return stream.Finish();
}

}  // namespace

NiftiImage ReadNiftiImage(const std::string& path, bool withValues) {
    InputFile in(path);
    const Header header = ReadHeader(in, path);
    const Extent extent = ValidateHeader(header, path);
    NiftiImage image;
    image.dims = extent.n;
    image.voxelToWorld = VoxelToWorld(header);
    if (header.sformCode > 0 && SformMatrix(header)) {
        for (int r = 0; r < 3; ++r) image.origin[r] = header.srow[r][3];
    } else if (header.qformCode > 0) {
        for (int r = 0; r < 3; ++r) image.origin[r] = header.qoffset[r];
    }
    for (double& o : image.origin) o = std::isfinite(o) ? o : 0.0;
    if (!withValues) return image;
    image.raw = ReadVoxelData(in, header, extent, path);
    image.datatype = header.datatype;
    image.scaling = MakeScaling(header);
    return image;
}

double NiftiImage::Value(std::size_t i) const {
    auto at = [&](auto tag) {
        using T = decltype(tag);
        T v;
        std::memcpy(&v, raw.data() + i * sizeof(T), sizeof(T));
        return scaling.Apply(static_cast<double>(v));
    };
    switch (datatype) {
        case kUInt8:
            return at(std::uint8_t{});
        case kInt8:
            return at(std::int8_t{});
        case kInt16:
            return at(std::int16_t{});
        case kUInt16:
            return at(std::uint16_t{});
        case kInt32:
            return at(std::int32_t{});
        case kUInt32:
            return at(std::uint32_t{});
        case kFloat32:
            return at(float{});
        case kFloat64:
            return at(double{});
        default:
            return 0;
    }
}

ConvertedVolume ConvertNifti(const std::string& path) {
    InputFile in(path);
    const Header header = ReadHeader(in, path);
    const Extent extent = ValidateHeader(header, path);
    switch (header.datatype) {
        case kUInt8:
            return Convert<std::uint8_t>(in, header, extent, path);
        case kInt8:
            return Convert<std::int8_t>(in, header, extent, path);
        case kInt16:
            return Convert<std::int16_t>(in, header, extent, path);
        case kUInt16:
            return Convert<std::uint16_t>(in, header, extent, path);
        case kInt32:
            return Convert<std::int32_t>(in, header, extent, path);
        case kUInt32:
            return Convert<std::uint32_t>(in, header, extent, path);
        case kFloat32:
            return Convert<float>(in, header, extent, path);
        case kFloat64:
            return Convert<double>(in, header, extent, path);
        default:
            Fail(path, "nicht unterstützter Voxel-Datentyp");
    }
}

}  // namespace zx
