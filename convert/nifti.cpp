#include "convert/nifti.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <system_error>
#include <type_traits>

#include "convert/input_file.h"
#include "convert/labels.h"
#include "convert/pipeline.h"
#include "convert/raw_image.h"

namespace zx {
namespace {

constexpr std::size_t kReadChunk = std::size_t{16} << 20;  // 16 MiB
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
    FailFile(path, reason);
}

// CIFTI-2's intent codes (a data matrix over brain locations).
constexpr int kCiftiFirst = 3000, kCiftiLast = 3099;

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
// Header decoding.

// How the header's image is stored.
enum class Kind {
    Single,   ///< .nii: header and data in one file
    Pair,     ///< NIfTI .hdr with its data in the .img beside it
    Analyze,  ///< Analyze 7.5 .hdr/.img: no orientation
};

struct Header {
    Kind kind = Kind::Single;
    bool nifti2 = false;
    bool bigEndian = false;
    std::size_t headerSize = 0;
    std::array<std::int64_t, 8> dim{};
    std::array<double, 8> pixdim{};
    int datatype = 0;
    int intentCode = 0;
    std::uint64_t voxOffset = 0;
    double sclSlope = 0, sclInter = 0;
    double calMin = 0, calMax = 0;
    int qformCode = 0, sformCode = 0;
    double quatern[3] = {0, 0, 0};
    double qoffset[3] = {0, 0, 0};
    double srow[3][4] = {};
};

bool EndsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i])
            return false;
    return true;
}

// "ist eine NIfTI-Datei, aber …": what the header says it is.
std::string WhatItIs(const Header& h) {
    if (h.kind == Kind::Analyze) return "ist eine Analyze-7.5-Datei, aber ";
    if (h.kind == Kind::Pair) return "ist der Kopf eines NIfTI-Paars (.hdr/.img), aber ";
    return h.nifti2 ? "ist eine NIfTI-2-Datei, aber " : "ist eine NIfTI-1-Datei, aber ";
}

[[noreturn]] void FailAs(const Header& h, const std::string& path, const std::string& reason) {
    Fail(path, WhatItIs(h) + reason);
}

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

Header ReadHeader(StreamedInput& in, const std::string& path) {
    unsigned char buf[kNifti2HeaderSize] = {};
    in.ReadExactly(buf, 4, "der Dateikopf");

    Header h;
    const std::int32_t sizeLE = Field<std::int32_t>(buf, 0, false);
    const std::int32_t sizeBE = Field<std::int32_t>(buf, 0, true);
    if (sizeLE == 348 || sizeLE == 540) {
        h.bigEndian = false;
    } else if (sizeBE == 348 || sizeBE == 540) {
        h.bigEndian = true;
    } else {
        Fail(path, "ist keine NIfTI- oder Analyze-Datei: ihr Anfang passt zu keiner der beiden");
    }
    const std::int32_t size = h.bigEndian ? sizeBE : sizeLE;
    h.nifti2 = size == 540;
    h.headerSize = h.nifti2 ? kNifti2HeaderSize : kNifti1HeaderSize;
    in.ReadExactly(buf + 4, h.headerSize - 4, "der Dateikopf");

    const bool be = h.bigEndian;
    if (!h.nifti2) {
        const char* magic = reinterpret_cast<const char*>(buf + 344);
        if (std::memcmp(magic, "ni1\0", 4) == 0) {
            h.kind = Kind::Pair;
        } else if (std::memcmp(magic, "n+1\0", 4) == 0) {
            h.kind = Kind::Single;
        } else if (EndsWith(path, ".nii") || EndsWith(path, ".nii.gz")) {
            // Analyze files never bear NIfTI's name.
            Fail(path, "ist keine lesbare NIfTI-1-Datei: ihre Kennung fehlt oder ist verstümmelt");
        } else {
            // 348 bytes without NIfTI's identifier: the older Analyze 7.5.
            h.kind = Kind::Analyze;
        }
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = Field<std::int16_t>(buf, 40 + 2 * i, be);
            h.pixdim[i] = Field<float>(buf, 76 + 4 * i, be);
        }
        h.intentCode = Field<std::int16_t>(buf, 68, be);
        h.datatype = Field<std::int16_t>(buf, 70, be);
        const float voxOffset = Field<float>(buf, 108, be);
        if (!std::isfinite(voxOffset) || voxOffset < 0 || voxOffset > 1e15f)
            FailAs(h, path, "der Beginn ihrer Bilddaten ist ungültig");
        h.voxOffset = static_cast<std::uint64_t>(voxOffset);
        // Analyze keeps SPM's scale factor where NIfTI keeps its slope.
        h.sclSlope = Field<float>(buf, 112, be);
        h.sclInter = Field<float>(buf, 116, be);
        h.calMax = Field<float>(buf, 124, be);
        h.calMin = Field<float>(buf, 128, be);
        if (h.kind == Kind::Analyze) {
            h.intentCode = 0;
            return h;  // no orientation fields: the rest is Analyze's own history
        }
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
        if (std::memcmp(magic, "ni2\0\r\n\032\n", 8) == 0) {
            h.kind = Kind::Pair;
        } else if (std::memcmp(magic, "n+2\0\r\n\032\n", 8) != 0) {
            Fail(path,
                 "ist keine lesbare NIfTI-2-Datei: ihre Kennung ist verstümmelt (etwa durch eine "
                 "Übertragung als Text)");
        }
        h.datatype = Field<std::int16_t>(buf, 12, be);
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = Field<std::int64_t>(buf, 16 + 8 * i, be);
            h.pixdim[i] = Field<double>(buf, 104 + 8 * i, be);
        }
        const std::int64_t voxOffset = Field<std::int64_t>(buf, 168, be);
        if (voxOffset < 0) FailAs(h, path, "der Beginn ihrer Bilddaten ist ungültig");
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
        h.intentCode = Field<std::int32_t>(buf, 504, be);
    }
    return h;
}

// Image size of the first 3-D volume, validated against the size limit.
struct Extent {
    std::array<std::int64_t, 3> n{};
    std::uint64_t voxels = 0;
    int bytesPerVoxel = 0;
    std::uint64_t bytes = 0;
    std::uint64_t volumes = 1;  ///< 3-D volumes (axes 4 to 7), at most 2^40
};

std::string Join(const std::array<std::int64_t, 8>& dim, int from, int to) {
    std::string s;
    for (int a = from; a <= to; ++a) s += (s.empty() ? "" : " x ") + std::to_string(dim[a]);
    return s;
}

Extent ValidateHeader(const Header& h, const std::string& path) {
    const std::int64_t rank = h.dim[0];
    if (rank < 1 || rank > 7)
        FailAs(h, path,
               "sie gibt " + std::to_string(rank) +
                   " Dimensionen an (ein Bild hat 1 bis 7); der Dateikopf ist beschädigt");
    if (h.intentCode >= kCiftiFirst && h.intentCode <= kCiftiLast)
        Fail(path,
             "ist eine CIFTI-Datei: eine Datenmatrix über Orte des Gehirns (etwa Konnektivität "
             "oder Zeitreihen auf der Hirnoberfläche), kein räumliches Bild; sie wird nicht "
             "umgewandelt");

    Extent e;
    for (int a = 0; a < 3; ++a) {
        // Axes beyond dim[0] have size 1 (a 2-D image is a single slice).
        e.n[a] = a + 1 <= rank ? h.dim[a + 1] : 1;
        if (e.n[a] <= 0)
            FailAs(h, path,
                   "ihre Bildgröße ist ungültig: Achse " + std::to_string(a + 1) + " hat " +
                       std::to_string(e.n[a]) + " Voxel");
    }
    // A matrix keeps its values beyond the fourth axis, with at most one
    // spatial axis longer than 1: no image to show.
    const int spatial = int(e.n[0] > 1) + int(e.n[1] > 1) + int(e.n[2] > 1);
    if (rank >= 5 && spatial <= 1 && h.dim[5] > 1)
        Fail(path, "enthält eine Matrix (" + Join(h.dim, 1, int(rank)) +
                       "), kein räumliches Bild; sie wird nicht umgewandelt");
    for (std::int64_t a = 4; a <= rank; ++a)
        e.volumes = std::min<std::uint64_t>(
            e.volumes * std::uint64_t(std::max<std::int64_t>(1, h.dim[a])), std::uint64_t{1} << 40);

    e.bytesPerVoxel = BytesPerVoxel(h.datatype);
    if (e.bytesPerVoxel == 0)
        FailAs(h, path,
               "ihr Voxel-Datentyp (" + DescribeDataType(h.datatype) +
                   ") wird nicht unterstützt; gelesen werden uint8, int8, int16, uint16, int32, "
                   "uint32, float32 und float64");

    e.bytes = VolumeBytes(e.n, e.bytesPerVoxel, path);
    e.voxels = e.bytes / static_cast<std::uint64_t>(e.bytesPerVoxel);

    if (h.kind == Kind::Single && h.voxOffset < h.headerSize)
        FailAs(h, path,
               "ihre Bilddaten sollen bei Byte " + std::to_string(h.voxOffset) +
                   " beginnen, im Dateikopf");
    return e;
}

// Where the data of every volume the header declares ends, at most 2^62.
std::uint64_t DeclaredEnd(const Header& h, const Extent& e) {
    const double bytes = double(e.bytes) * double(e.volumes);
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
std::vector<unsigned char> ReadVoxelData(StreamedInput& in, const Header& h, const Extent& e,
                                         const std::string& path) {
    if (e.bytes > kMaxLabelBytes)
        Fail(path, "Datei zu groß: der Atlas hat mehr als 512 MiB Bilddaten");
    CheckDataPresent(in, h.voxOffset, e.bytes, path, WhatItIs(h));
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

// Analyze 7.5 files carry no orientation. They are read as the field reads
// them: SPM, FSL and nibabel take the stored order to be "radiological"
// LAS (array axis 0 from the patient's right to the left, axis 1 posterior
// to anterior, axis 2 inferior to superior), so x is flipped.
Matrix3 VoxelToWorld(const Header& h) {
    if (h.kind == Kind::Analyze) {
        Matrix3 m{};
        m[0][0] = -SafeSpacing(h.pixdim[1]);
        m[1][1] = SafeSpacing(h.pixdim[2]);
        m[2][2] = SafeSpacing(h.pixdim[3]);
        return m;
    }
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

std::optional<Window> CalibrationWindow(const Header& h) {
    if (std::isfinite(h.calMin) && std::isfinite(h.calMax) && h.calMax > h.calMin)
        return Window{h.calMin, h.calMax};
    return std::nullopt;
}

std::optional<SampleType> ToSampleType(int datatype) {
    switch (datatype) {
        case kUInt8:
            return SampleType::UInt8;
        case kInt8:
            return SampleType::Int8;
        case kInt16:
            return SampleType::Int16;
        case kUInt16:
            return SampleType::UInt16;
        case kInt32:
            return SampleType::Int32;
        case kUInt32:
            return SampleType::UInt32;
        case kFloat32:
            return SampleType::Float32;
        case kFloat64:
            return SampleType::Float64;
        default:
            return std::nullopt;
    }
}

// The other half of a .hdr/.img pair: the same name with the other
// extension, in the case of the given one, gzip-compressed or not.
std::optional<std::string> PartnerOf(const std::string& path, const char* from, const char* to) {
    for (const char* gz : {"", ".gz"}) {
        const std::string tail = std::string(from) + gz;
        if (!EndsWith(path, tail)) continue;
        const std::string stem = path.substr(0, path.size() - tail.size());
        const bool upper = std::isupper(static_cast<unsigned char>(path[stem.size() + 1])) != 0;
        std::string ext = to;
        if (upper)
            for (char& c : ext) c = char(std::toupper(static_cast<unsigned char>(c)));
        for (const char* z : {"", ".gz", ".GZ"}) {
            const std::string candidate = stem + ext + z;
            std::error_code ec;
            if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
        }
        return stem + ext;  // missing: named in the message
    }
    return std::nullopt;
}

// The file that holds the header: a .img names its .hdr.
std::string HeaderFileOf(const std::string& path) {
    if (EndsWith(path, ".img") || EndsWith(path, ".img.gz"))
        if (auto hdr = PartnerOf(path, ".img", ".hdr")) {
            std::error_code ec;
            if (std::filesystem::is_regular_file(*hdr, ec)) return *hdr;
        }
    return path;
}

struct Opened {
    std::string headerPath;
    std::unique_ptr<StreamedInput> header;
    Header h;
    Extent e;
    std::unique_ptr<StreamedInput> dataFile;  ///< the .img of a pair
    StreamedInput& Data() { return dataFile ? *dataFile : *header; }
};

Opened Open(const std::string& path) {
    Opened o;
    o.headerPath = HeaderFileOf(path);
    o.header = std::make_unique<StreamedInput>(o.headerPath);
    o.h = ReadHeader(*o.header, o.headerPath);
    o.e = ValidateHeader(o.h, o.headerPath);
    if (o.h.kind != Kind::Single) {
        const auto img = PartnerOf(o.headerPath, ".hdr", ".img");
        if (!img)
            FailAs(
                o.h, o.headerPath,
                "ihr Name endet nicht auf .hdr, so dass die Bilddatei (.img) nicht zu finden ist");
        std::error_code ec;
        if (!std::filesystem::is_regular_file(*img, ec))
            FailAs(o.h, o.headerPath, "die Bilddatei " + *img + " fehlt");
        o.dataFile = std::make_unique<StreamedInput>(*img);
    }
    return o;
}

RawImage ImageOf(const Header& h, const Extent& e) {
    RawImage image;
    image.dims = e.n;
    image.volumes = e.volumes;
    image.type = *ToSampleType(h.datatype);
    image.bigEndian = h.bigEndian;
    image.voxelToWorld = VoxelToWorld(h);
    image.scaling = MakeScaling(h);
    image.window = CalibrationWindow(h);
    image.dataOffset = h.voxOffset;
    image.whatItIs = WhatItIs(h);
    return image;
}

std::string FormatName(const Opened& o) {
    const bool gz = o.dataFile ? o.dataFile->Compressed() : o.header->Compressed();
    switch (o.h.kind) {
        case Kind::Analyze:
            return "Analyze 7.5, Orientierung angenommen (LAS)";
        case Kind::Pair:
            return o.h.nifti2 ? "NIfTI-2 (.hdr/.img)" : "NIfTI-1 (.hdr/.img)";
        case Kind::Single:
            break;
    }
    return std::string(o.h.nifti2 ? "NIfTI-2" : "NIfTI-1") + (gz ? " (gzip)" : "");
}

}  // namespace

const char kAnalyzeAssumed[] =
    "Orientierung angenommen: Analyze 7.5 kennt keine, gelesen wie von SPM, FSL und nibabel als "
    "LAS (x von rechts nach links, y nach vorn, z nach oben)";

NiftiImage ReadNiftiImage(const std::string& path, bool withValues) {
    Opened o = Open(path);
    const Header& header = o.h;
    NiftiImage image;
    image.dims = o.e.n;
    image.voxelToWorld = VoxelToWorld(header);
    if (header.kind != Kind::Analyze && header.sformCode > 0 && SformMatrix(header)) {
        for (int r = 0; r < 3; ++r) image.origin[r] = header.srow[r][3];
    } else if (header.kind != Kind::Analyze && header.qformCode > 0) {
        for (int r = 0; r < 3; ++r) image.origin[r] = header.qoffset[r];
    }
    for (double& o : image.origin) o = std::isfinite(o) ? o : 0.0;
    if (!withValues) return image;
    image.raw = ReadVoxelData(o.Data(), header, o.e, o.headerPath);
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

ConvertedVolume ConvertNifti(const std::string& path, int volume) {
    Opened o = Open(path);
    ConvertedVolume v =
        StreamRawImage(o.Data(), ImageOf(o.h, o.e), volume, o.headerPath, FormatName(o));
    if (o.h.kind == Kind::Analyze)
        v.notice = v.notice.empty() ? kAnalyzeAssumed : v.notice + "; " + kAnalyzeAssumed;
    return v;
}

}  // namespace zx
