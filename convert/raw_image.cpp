#include "convert/raw_image.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <sstream>
#include <vector>

#include "convert/plane_stream.h"

namespace zx {
namespace {

constexpr std::uint64_t kMaxImageBytes = std::uint64_t{2} << 30;  // 2 GiB
// Images are converted plane by plane; one plane must fit in memory.
constexpr std::uint64_t kMaxPlaneBytes = std::uint64_t{64} << 20;
constexpr std::uint64_t kSlabBytes = std::uint64_t{4} << 20;

inline std::uint16_t Reversed(std::uint16_t v) { return __builtin_bswap16(v); }
inline std::uint32_t Reversed(std::uint32_t v) { return __builtin_bswap32(v); }
inline std::uint64_t Reversed(std::uint64_t v) { return __builtin_bswap64(v); }

// Reverses the bytes of every sample, in a loop the compiler vectorises.
template <typename U>
void Swap(unsigned char* data, std::size_t bytes) {
    for (std::size_t i = 0; i + sizeof(U) <= bytes; i += sizeof(U)) {
        U v;
        std::memcpy(&v, data + i, sizeof(U));
        v = Reversed(v);
        std::memcpy(data + i, &v, sizeof(U));
    }
}

void ToHostOrder(bool bigEndian, int width, unsigned char* data, std::size_t bytes) {
    const bool fileIsNative = bigEndian == (std::endian::native == std::endian::big);
    if (fileIsNative || width == 1) return;
    if (width == 2) Swap<std::uint16_t>(data, bytes);
    if (width == 4) Swap<std::uint32_t>(data, bytes);
    if (width == 8) Swap<std::uint64_t>(data, bytes);
}

template <typename T>
void StreamPlanes(StreamedInput& in, const RawImage& image, std::uint64_t start,
                  PlaneStream& stream, const std::string& path) {
    const auto& n = image.dims;
    const std::uint64_t planeBytes = std::uint64_t(n[0]) * std::uint64_t(n[1]) * sizeof(T);
    if (planeBytes > kMaxPlaneBytes)
        FailFile(path, "Datei zu groß: eine Schicht hat mehr als 64 MiB Bilddaten");
    in.SkipTo(start, "der Beginn der Bilddaten");
    const std::int64_t perRead = std::max<std::int64_t>(1, std::int64_t(kSlabBytes / planeBytes));
    std::vector<unsigned char> slab;
    for (std::int64_t k = 0; k < n[2]; k += perRead) {
        const std::int64_t count = std::min(perRead, n[2] - k);
        slab.resize(std::size_t(planeBytes) * std::size_t(count));
        in.ReadExactly(slab.data(), slab.size(), "die Bilddaten, die der Dateikopf verspricht");
        ToHostOrder(image.bigEndian, sizeof(T), slab.data(), slab.size());
        for (std::int64_t j = 0; j < count; ++j)
            stream.Add(k + j, reinterpret_cast<const T*>(slab.data() + std::size_t(j) * planeBytes),
                       image.scaling);
    }
}

}  // namespace

int SampleBytes(SampleType type) {
    switch (type) {
        case SampleType::UInt8:
        case SampleType::Int8:
            return 1;
        case SampleType::Int16:
        case SampleType::UInt16:
            return 2;
        case SampleType::Int32:
        case SampleType::UInt32:
        case SampleType::Float32:
            return 4;
        case SampleType::Float64:
            return 8;
    }
    return 1;
}

std::uint64_t VolumeBytes(const std::array<std::int64_t, 3>& dims, int bytesPerSample,
                          const std::string& path) {
    std::uint64_t bytes = static_cast<std::uint64_t>(bytesPerSample);
    for (int a = 0; a < 3; ++a) {
        if (dims[a] <= 0)
            FailFile(path, "ungültige Bildgröße: Achse " + std::to_string(a + 1) + " hat " +
                               std::to_string(dims[a]) + " Voxel");
        const auto n = static_cast<std::uint64_t>(dims[a]);
        if (n > kMaxImageBytes / bytes) {
            std::ostringstream msg;
            msg << "Datei zu groß: " << dims[0] << " x " << dims[1] << " x " << dims[2]
                << " Voxel zu je " << bytesPerSample << " Byte überschreiten die Grenze von 2 GiB";
            FailFile(path, msg.str());
        }
        bytes *= n;
    }
    return bytes;
}

void CheckDataPresent(StreamedInput& in, std::uint64_t offset, std::uint64_t bytes,
                      const std::string& path, const std::string& whatItIs) {
    if (const auto size = in.PlainSize()) {
        if (offset > *size)
            FailFile(path, whatItIs + "die Bilddaten sollen bei Byte " + std::to_string(offset) +
                               " beginnen, hinter dem Dateiende (" + std::to_string(*size) +
                               " Bytes)");
        if (*size - offset < bytes)
            FailFile(path, whatItIs + "die Datei enthält weniger Bilddaten (" +
                               std::to_string(*size - offset) +
                               " Bytes), als ihr Dateikopf "
                               "verspricht (" +
                               std::to_string(bytes) + ")");
    }
    in.SkipTo(offset, "der Beginn der Bilddaten");
}

std::string VolumeNotice(int volume, std::uint64_t volumes) {
    return "Volumen " + std::to_string(volume) + " von " + std::to_string(volumes);
}

ConvertedVolume StreamRawImage(StreamedInput& in, const RawImage& image, int volume,
                               const std::string& path, const std::string& format) {
    const int width = SampleBytes(image.type);
    const std::uint64_t bytes = VolumeBytes(image.dims, width, path);
    const std::uint64_t volumes = std::max<std::uint64_t>(1, image.volumes);
    if (volume < 1 || std::uint64_t(volume) > volumes)
        FailFile(path, image.whatItIs + "Volumen " + std::to_string(volume) +
                           " gibt es nicht: die Datei hat " +
                           (volumes == 1 ? std::string("nur ein Volumen")
                                         : std::to_string(volumes) + " Volumen"));
    const std::uint64_t start = image.dataOffset + bytes * std::uint64_t(volume - 1);
    CheckDataPresent(in, start, bytes, path, image.whatItIs);
    // Where the data of every volume the header declares ends, at most 2^62.
    const double declaredEnd = double(image.dataOffset) + double(bytes) * double(volumes);
    PlaneStream stream(image.dims, image.voxelToWorld, path, image.window);
    auto run = [&](auto tag) { StreamPlanes<decltype(tag)>(in, image, start, stream, path); };
    switch (image.type) {
        case SampleType::UInt8:
            run(std::uint8_t{});
            break;
        case SampleType::Int8:
            run(std::int8_t{});
            break;
        case SampleType::Int16:
            run(std::int16_t{});
            break;
        case SampleType::UInt16:
            run(std::uint16_t{});
            break;
        case SampleType::Int32:
            run(std::int32_t{});
            break;
        case SampleType::UInt32:
            run(std::uint32_t{});
            break;
        case SampleType::Float32:
            run(float{});
            break;
        case SampleType::Float64:
            run(double{});
            break;
    }
    // A cut or damaged stream is refused; of a 4-D file's later volumes at
    // most 1 GiB more is read for that, so that a few MB of compressed
    // zeros declaring many volumes take seconds, not minutes.
    in.CheckEnd(std::uint64_t(std::min(declaredEnd, 4.6e18)), std::uint64_t{1} << 30);
    ConvertedVolume v = stream.Finish();
    v.format = format;
    v.volume = volume;
    v.volumes = volumes;
    if (volumes > 1) v.notice = VolumeNotice(volume, volumes);
    return v;
}

}  // namespace zx
