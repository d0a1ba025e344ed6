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

namespace zx {
namespace {

constexpr int kGrid = 256;                                   // output edge in voxels
constexpr std::size_t kPlaneBytes = std::size_t{kGrid} * kGrid;
constexpr std::size_t kVolumeBytes = kPlaneBytes * kGrid;
constexpr std::uint64_t kMaxImageBytes = std::uint64_t{2} << 30;  // 2 GiB
constexpr std::size_t kReadChunk = std::size_t{16} << 20;         // 16 MiB
// Percentiles are computed on at most this many values; larger images are
// sampled with a regular stride, which is plenty for a display window.
constexpr std::size_t kMaxPercentileSamples = std::size_t{1} << 24;

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
        case 0: return "unknown";
        case 1: return "binary (1 bit)";
        case 32: return "complex64";
        case 128: return "RGB24";
        case 1024: return "int64";
        case 1280: return "uint64";
        case 1536: return "float128";
        case 1792: return "complex128";
        case 2048: return "complex256";
        case 2304: return "RGBA32";
        default: return "code " + std::to_string(code);
    }
}

int BytesPerVoxel(int datatype) {
    switch (datatype) {
        case kUInt8:
        case kInt8: return 1;
        case kInt16:
        case kUInt16: return 2;
        case kInt32:
        case kUInt32:
        case kFloat32: return 4;
        case kFloat64: return 8;
        default: return 0;
    }
}

// ---------------------------------------------------------------------------
// File access: plain files through stdio, gzip files through zlib.

class InputFile {
public:
    explicit InputFile(const std::string& path) : path_(path) {
        std::error_code ec;
        const auto status = std::filesystem::status(path, ec);
        if (ec || !std::filesystem::exists(status)) Fail(path_, "file does not exist");
        if (std::filesystem::is_directory(status)) Fail(path_, "is a directory, not a file");

        file_ = std::fopen(path.c_str(), "rb");
        if (!file_) Fail(path_, std::string("cannot open file (") + std::strerror(errno) + ")");

        unsigned char magic[2] = {0, 0};
        const std::size_t got = std::fread(magic, 1, 2, file_);
        if (std::ferror(file_)) Fail(path_, std::string("cannot read file (") + std::strerror(errno) + ")");
        if (got == 2 && magic[0] == 0x1f && magic[1] == 0x8b) {
            std::fclose(file_);
            file_ = nullptr;
            gz_ = gzopen(path.c_str(), "rb");
            if (!gz_) Fail(path_, "cannot open gzip-compressed file");
            gzbuffer(gz_, 256 * 1024);
        } else {
            if (std::fseek(file_, 0, SEEK_END) != 0) Fail(path_, "cannot determine file size");
            const long size = std::ftell(file_);
            if (size < 0) Fail(path_, "cannot determine file size");
            plainSize_ = static_cast<std::uint64_t>(size);
            std::rewind(file_);
        }
    }
    ~InputFile() {
        if (file_) std::fclose(file_);
        if (gz_) gzclose(gz_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Compressed() const { return gz_ != nullptr; }
    // Size of an uncompressed file; the decompressed size of a gzip file is
    // only known after reading it.
    std::optional<std::uint64_t> PlainSize() const {
        if (gz_) return std::nullopt;
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
        if (pos < position_) Fail(path_, "internal error: cannot seek backwards");
        if (!gz_) {
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

private:
    std::size_t ReadSome(unsigned char* dst, std::size_t n) {
        std::size_t got = 0;
        if (gz_) {
            const int r = gzread(gz_, dst, static_cast<unsigned>(n));
            if (r < 0) CorruptGzip();
            got = static_cast<std::size_t>(r);
        } else {
            got = std::fread(dst, 1, n, file_);
            if (std::ferror(file_))
                Fail(path_, std::string("read error (") + std::strerror(errno) + ")");
        }
        position_ += got;
        return got;
    }

    [[noreturn]] void CorruptGzip() {
        int err = Z_OK;
        const char* msg = gzerror(gz_, &err);
        Fail(path_, std::string("the gzip-compressed data is damaged (zlib: ") + (msg ? msg : "?") +
                        ")");
    }

    [[noreturn]] void ShortRead(const char* what) {
        if (gz_) {
            int err = Z_OK;
            const char* msg = gzerror(gz_, &err);
            if (err != Z_OK)
                Fail(path_, std::string("the gzip-compressed file is truncated or damaged while reading ") +
                                what + " (zlib: " + (msg ? msg : "?") + ")");
        }
        Fail(path_, std::string("the file ends too early: it is shorter than ") + what + " requires");
    }

    std::string path_;
    std::FILE* file_ = nullptr;
    gzFile gz_ = nullptr;
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
    in.ReadExactly(buf, 4, "a NIfTI header");

    Header h;
    const std::int32_t sizeLE = Field<std::int32_t>(buf, 0, false);
    const std::int32_t sizeBE = Field<std::int32_t>(buf, 0, true);
    if (sizeLE == 348 || sizeLE == 540) {
        h.bigEndian = false;
    } else if (sizeBE == 348 || sizeBE == 540) {
        h.bigEndian = true;
    } else {
        Fail(path, "not a NIfTI file: the header size field is " + std::to_string(sizeLE) +
                       " (expected 348 for NIfTI-1 or 540 for NIfTI-2, in either byte order)");
    }
    const std::int32_t size = h.bigEndian ? sizeBE : sizeLE;
    h.nifti2 = size == 540;
    h.headerSize = h.nifti2 ? kNifti2HeaderSize : kNifti1HeaderSize;
    in.ReadExactly(buf + 4, h.headerSize - 4, "the NIfTI header");

    const bool be = h.bigEndian;
    if (!h.nifti2) {
        const char* magic = reinterpret_cast<const char*>(buf + 344);
        if (std::memcmp(magic, "ni1\0", 4) == 0)
            Fail(path, "is the header of a separate .hdr/.img pair; only single-file NIfTI (.nii) is supported");
        if (std::memcmp(magic, "n+1\0", 4) != 0)
            Fail(path, "not a NIfTI-1 file: the magic string is not \"n+1\"");
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = Field<std::int16_t>(buf, 40 + 2 * i, be);
            h.pixdim[i] = Field<float>(buf, 76 + 4 * i, be);
        }
        h.datatype = Field<std::int16_t>(buf, 70, be);
        const float voxOffset = Field<float>(buf, 108, be);
        if (!std::isfinite(voxOffset) || voxOffset < 0 || voxOffset > 1e15f)
            Fail(path, "invalid data offset (vox_offset) in the header");
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
            Fail(path, "is the header of a separate .hdr/.img pair; only single-file NIfTI (.nii) is supported");
        if (std::memcmp(magic, "n+2\0\r\n\032\n", 8) != 0)
            Fail(path, "not a NIfTI-2 file: the magic string is not \"n+2\" followed by the expected check bytes");
        h.datatype = Field<std::int16_t>(buf, 12, be);
        for (int i = 0; i < 8; ++i) {
            h.dim[i] = Field<std::int64_t>(buf, 16 + 8 * i, be);
            h.pixdim[i] = Field<double>(buf, 104 + 8 * i, be);
        }
        const std::int64_t voxOffset = Field<std::int64_t>(buf, 168, be);
        if (voxOffset < 0) Fail(path, "invalid data offset (vox_offset) in the header");
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
        Fail(path, "invalid number of dimensions (dim[0] = " + std::to_string(rank) + ", expected 1 to 7)");

    Extent e;
    for (int a = 0; a < 3; ++a) {
        // Axes beyond dim[0] have size 1 (a 2-D image is a single slice).
        e.n[a] = a + 1 <= rank ? h.dim[a + 1] : 1;
        if (e.n[a] <= 0)
            Fail(path, "invalid image size: dimension " + std::to_string(a + 1) + " is " +
                           std::to_string(e.n[a]) + " (sizes must be positive)");
    }

    e.bytesPerVoxel = BytesPerVoxel(h.datatype);
    if (e.bytesPerVoxel == 0)
        Fail(path, "unsupported voxel data type (" + DescribeDataType(h.datatype) +
                       "); supported are uint8, int8, int16, uint16, int32, uint32, float32 and float64");

    // Overflow-safe size check, done before anything is allocated.
    std::uint64_t bytes = static_cast<std::uint64_t>(e.bytesPerVoxel);
    for (int a = 0; a < 3; ++a) {
        const auto n = static_cast<std::uint64_t>(e.n[a]);
        if (n > kMaxImageBytes / bytes) {
            std::ostringstream msg;
            msg << "image too large: " << e.n[0] << " x " << e.n[1] << " x " << e.n[2] << " voxels of "
                << e.bytesPerVoxel << " byte(s) exceed the 2 GiB limit";
            Fail(path, msg.str());
        }
        bytes *= n;
    }
    e.bytes = bytes;
    e.voxels = bytes / static_cast<std::uint64_t>(e.bytesPerVoxel);

    if (h.voxOffset < h.headerSize)
        Fail(path, "invalid data offset: vox_offset " + std::to_string(h.voxOffset) +
                       " lies inside the header");
    return e;
}

// Reads the first volume's raw bytes and converts them to the host byte order.
std::vector<unsigned char> ReadVoxelData(InputFile& in, const Header& h, const Extent& e,
                                         const std::string& path) {
    if (const auto size = in.PlainSize()) {
        if (h.voxOffset > *size)
            Fail(path, "the data offset (vox_offset " + std::to_string(h.voxOffset) +
                           ") lies past the end of the file (" + std::to_string(*size) + " bytes)");
        if (*size - h.voxOffset < e.bytes)
            Fail(path, "the file holds fewer image bytes (" + std::to_string(*size - h.voxOffset) +
                           ") than the header promises (" + std::to_string(e.bytes) + ")");
    }
    in.SkipTo(h.voxOffset, "the data offset (vox_offset) in the header");

    std::vector<unsigned char> raw;
    if (!in.Compressed()) {
        raw.resize(static_cast<std::size_t>(e.bytes));
        in.ReadExactly(raw.data(), raw.size(), "the image data the header promises");
    } else {
        // The decompressed length is unknown: grow with the data actually
        // present so that a lying header cannot trigger a huge allocation.
        while (raw.size() < e.bytes) {
            const std::size_t start = raw.size();
            const std::size_t chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(e.bytes - start, kReadChunk));
            raw.resize(start + chunk);
            in.ReadExactly(raw.data() + start, chunk, "the image data the header promises");
        }
    }

    const bool fileIsNative = h.bigEndian == (std::endian::native == std::endian::big);
    const int width = e.bytesPerVoxel;
    if (!fileIsNative && width > 1) {
        for (std::size_t i = 0; i + width <= raw.size(); i += width)
            std::reverse(raw.begin() + static_cast<std::ptrdiff_t>(i),
                         raw.begin() + static_cast<std::ptrdiff_t>(i + width));
    }
    return raw;
}

// ---------------------------------------------------------------------------
// Geometry: voxel index (i, j, k) -> RAS+ world millimetres
// (+x toward the patient's right, +y anterior, +z superior).

using Matrix3 = std::array<std::array<double, 3>, 3>;  // [world axis][array axis]

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

// How one viewer axis is read from the array.
struct AxisMap {
    int arrayAxis = 0;
    bool flip = false;       // viewer index grows while the array index falls
    double spacing = 1;      // mm between array samples along this axis
    std::int64_t size = 1;   // array samples along this axis
};

// Nearest permutation (with flips) of the array axes onto the viewer axes.
// Viewer x, y, z point to the patient's left, posterior and inferior, i.e.
// against RAS world x, y, z.
std::array<AxisMap, 3> Reorient(const Matrix3& m, const std::array<std::int64_t, 3>& dims) {
    double length[3];
    Matrix3 cosines{};
    for (int col = 0; col < 3; ++col) {
        length[col] = std::sqrt(m[0][col] * m[0][col] + m[1][col] * m[1][col] + m[2][col] * m[2][col]);
        for (int row = 0; row < 3; ++row) cosines[row][col] = m[row][col] / length[col];
    }
    // Try all six permutations; the best one maximises the summed alignment,
    // which also guarantees that no array axis is used twice.
    std::array<int, 3> perm = {0, 1, 2};
    std::array<int, 3> best = perm;
    double bestScore = -1;
    do {
        const double score = std::fabs(cosines[0][perm[0]]) + std::fabs(cosines[1][perm[1]]) +
                             std::fabs(cosines[2][perm[2]]);
        if (score > bestScore + 1e-12) {
            bestScore = score;
            best = perm;
        }
    } while (std::next_permutation(perm.begin(), perm.end()));

    std::array<AxisMap, 3> axes;
    for (int w = 0; w < 3; ++w) {
        const int col = best[w];
        axes[w].arrayAxis = col;
        axes[w].flip = cosines[w][col] > 0;  // array runs toward R/A/S, viewer toward L/P/I
        axes[w].spacing = length[col];
        axes[w].size = dims[col];
    }
    return axes;
}

// ---------------------------------------------------------------------------
// Intensities.

template <typename T>
T Load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}

struct Scaling {
    double slope = 1, inter = 0;
    double Apply(double raw) const {
        const double v = raw * slope + inter;
        return std::isfinite(v) ? v : 0.0;  // NaN and infinities count as 0
    }
};

Scaling MakeScaling(const Header& h) {
    Scaling s;
    if (h.sclSlope != 0 && std::isfinite(h.sclSlope)) {
        s.slope = h.sclSlope;
        s.inter = std::isfinite(h.sclInter) ? h.sclInter : 0.0;
    }
    return s;
}

// Value at fraction p (0..1) of the sorted samples, interpolating linearly
// between neighbouring ranks. Reorders `v`.
double Percentile(std::vector<float>& v, double p) {
    const double rank = p * static_cast<double>(v.size() - 1);
    const auto lower = static_cast<std::size_t>(std::floor(rank));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(lower), v.end());
    const double lo = v[lower];
    if (lower + 1 >= v.size()) return lo;
    const double hi = *std::min_element(v.begin() + static_cast<std::ptrdiff_t>(lower) + 1, v.end());
    return lo + (hi - lo) * (rank - static_cast<double>(lower));
}

struct Window {
    double low = 0, high = 0;
};

template <typename T>
Window AutoWindow(const unsigned char* raw, std::uint64_t voxels, const Scaling& scaling) {
    const std::uint64_t step = std::max<std::uint64_t>(1, (voxels + kMaxPercentileSamples - 1) / kMaxPercentileSamples);
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>((voxels + step - 1) / step));
    double minimum = std::numeric_limits<double>::infinity();
    double maximum = -minimum;
    for (std::uint64_t i = 0; i < voxels; i += step) {
        const double v = scaling.Apply(static_cast<double>(Load<T>(raw + i * sizeof(T))));
        samples.push_back(static_cast<float>(v));
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
    }
    Window w;
    w.low = Percentile(samples, 0.005);
    w.high = Percentile(samples, 0.995);
    if (!(w.high > w.low)) {
        // Nearly constant image with a few outliers (masks, markers): use
        // the full range so that the outliers stay visible.
        w.low = minimum;
        w.high = maximum;
    }
    return w;
}

// ---------------------------------------------------------------------------
// Resampling.

// Per output index along one viewer axis: the two neighbouring array
// samples (as element offsets) and the weight of the second one.
struct AxisSamples {
    std::vector<std::int64_t> first, second;
    std::vector<double> weight;
};

AxisSamples PlanAxis(const AxisMap& axis, int outCount, double edge, std::int64_t stride) {
    AxisSamples s;
    s.first.resize(outCount);
    s.second.resize(outCount);
    s.weight.resize(outCount);
    const double extent = static_cast<double>(axis.size) * axis.spacing;
    // Centre the output grid on the image when the extents differ slightly.
    const double shift = (extent - outCount * edge) / 2 / axis.spacing;
    const double ratio = edge / axis.spacing;
    const double last = static_cast<double>(axis.size - 1);
    for (int o = 0; o < outCount; ++o) {
        // Continuous array index of the output voxel centre (array voxel
        // centres sit at integer positions).
        double f = (o + 0.5) * ratio - 0.5 + shift;
        f = std::isfinite(f) ? std::clamp(f, 0.0, last) : 0.0;
        if (axis.flip) f = last - f;
        const double i0 = std::floor(f);
        const auto lower = static_cast<std::int64_t>(i0);
        const std::int64_t upper = std::min<std::int64_t>(lower + 1, axis.size - 1);
        s.first[o] = lower * stride;
        s.second[o] = upper * stride;
        s.weight[o] = f - i0;
    }
    return s;
}

struct Resampling {
    std::array<AxisSamples, 3> axes;  // viewer x, y, z
    std::array<int, 3> count{};       // output voxels per viewer axis
};

template <typename T>
void Resample(const unsigned char* raw, const Resampling& plan, const Scaling& scaling, const Window& window,
              std::uint8_t* out) {
    const double gain = window.high > window.low ? 255.0 / (window.high - window.low) : 0.0;
    const int nx = plan.count[0], ny = plan.count[1], nz = plan.count[2];
    const int y0 = (kGrid - ny) / 2;
    const int z0 = (kGrid - nz) / 2;
    const auto& ax = plan.axes[0];
    const auto& ay = plan.axes[1];
    const auto& az = plan.axes[2];
    auto value = [&](std::int64_t index) {
        return scaling.Apply(static_cast<double>(Load<T>(raw + index * static_cast<std::int64_t>(sizeof(T)))));
    };
    for (int x = 0; x < nx; ++x) {
        const double wx = ax.weight[x];
        for (int z = 0; z < nz; ++z) {
            const double wz = az.weight[z];
            const std::int64_t b00 = ax.first[x] + az.first[z];
            const std::int64_t b10 = ax.second[x] + az.first[z];
            const std::int64_t b01 = ax.first[x] + az.second[z];
            const std::int64_t b11 = ax.second[x] + az.second[z];
            std::uint8_t* row = out + static_cast<std::size_t>(x) * kPlaneBytes +
                                static_cast<std::size_t>(z + z0) * kGrid + y0;
            for (int y = 0; y < ny; ++y) {
                const std::int64_t ya = ay.first[y], yb = ay.second[y];
                const double wy = ay.weight[y];
                auto alongY = [&](std::int64_t base) {
                    const double a = value(base + ya);
                    return wy == 0 ? a : a + (value(base + yb) - a) * wy;
                };
                const double v00 = alongY(b00);
                const double v10 = wx == 0 ? v00 : alongY(b10);
                const double v0 = v00 + (v10 - v00) * wx;
                double v = v0;
                if (wz != 0) {
                    const double v01 = alongY(b01);
                    const double v11 = wx == 0 ? v01 : alongY(b11);
                    const double v1 = v01 + (v11 - v01) * wx;
                    v = v0 + (v1 - v0) * wz;
                }
                // NaN (0 · ∞, ∞ − ∞ of extreme inputs) becomes black, not an
                // undefined conversion.
                double grey = (v - window.low) * gain;
                grey = grey >= 0.0 ? std::min(grey, 255.0) : 0.0;
                row[y] = static_cast<std::uint8_t>(grey + 0.5);
            }
        }
    }
}

template <typename T>
void Convert(const unsigned char* raw, const Header& h, const Extent& e, const Resampling& plan,
             std::uint8_t* out) {
    const Scaling scaling = MakeScaling(h);
    Window window;
    if (std::isfinite(h.calMin) && std::isfinite(h.calMax) && h.calMax > h.calMin) {
        window.low = h.calMin;
        window.high = h.calMax;
    } else {
        window = AutoWindow<T>(raw, e.voxels, scaling);
    }
    Resample<T>(raw, plan, scaling, window, out);
}

}  // namespace

NiftiVolume ConvertNifti(const std::string& path) {
    InputFile in(path);
    const Header header = ReadHeader(in, path);
    const Extent extent = ValidateHeader(header, path);
    const std::vector<unsigned char> raw = ReadVoxelData(in, header, extent, path);

    const std::array<AxisMap, 3> axes = Reorient(VoxelToWorld(header), extent.n);

    // Cubic output voxels: no finer than the finest input spacing, and
    // coarse enough for the largest physical extent to fit into 256.
    double smallestSpacing = std::numeric_limits<double>::infinity();
    double largestExtent = 0;
    for (const AxisMap& a : axes) {
        smallestSpacing = std::min(smallestSpacing, a.spacing);
        largestExtent = std::max(largestExtent, static_cast<double>(a.size) * a.spacing);
    }
    const double edge = std::max(smallestSpacing, largestExtent / kGrid);
    if (!std::isfinite(edge) || edge <= 0) Fail(path, "invalid voxel spacing in the header");

    const std::array<std::int64_t, 3> strides = {1, extent.n[0], extent.n[0] * extent.n[1]};
    Resampling plan;
    for (int a = 0; a < 3; ++a) {
        const double cells = std::round(static_cast<double>(axes[a].size) * axes[a].spacing / edge);
        plan.count[a] = static_cast<int>(std::clamp(cells, 1.0, static_cast<double>(kGrid)));
        plan.axes[a] = PlanAxis(axes[a], plan.count[a], edge, strides[axes[a].arrayAxis]);
    }

    NiftiVolume volume;
    volume.voxels.assign(kVolumeBytes, 0);
    volume.planes = plan.count[0];
    volume.voxelEdgeMm = edge;

    const unsigned char* data = raw.data();
    std::uint8_t* out = volume.voxels.data();
    switch (header.datatype) {
        case kUInt8: Convert<std::uint8_t>(data, header, extent, plan, out); break;
        case kInt8: Convert<std::int8_t>(data, header, extent, plan, out); break;
        case kInt16: Convert<std::int16_t>(data, header, extent, plan, out); break;
        case kUInt16: Convert<std::uint16_t>(data, header, extent, plan, out); break;
        case kInt32: Convert<std::int32_t>(data, header, extent, plan, out); break;
        case kUInt32: Convert<std::uint32_t>(data, header, extent, plan, out); break;
        case kFloat32: Convert<float>(data, header, extent, plan, out); break;
        case kFloat64: Convert<double>(data, header, extent, plan, out); break;
        default: Fail(path, "unsupported voxel data type");
    }
    return volume;
}

}  // namespace zx
