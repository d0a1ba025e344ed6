#include "convert/dicom_series.h"

#include <gdcmDirectory.h>
#include <gdcmImage.h>
#include <gdcmImageReader.h>
#include <gdcmScanner.h>
#include <gdcmTrace.h>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <utility>
#include <vector>

#include "convert/dicom_result.h"
#include "convert/pipeline.h"

namespace zx {
namespace {

const gdcm::Tag kSeriesUid(0x0020, 0x000e);
const gdcm::Tag kRows(0x0028, 0x0010);
const gdcm::Tag kColumns(0x0028, 0x0011);
const gdcm::Tag kPosition(0x0020, 0x0032);
const gdcm::Tag kOrientation(0x0020, 0x0037);

[[noreturn]] void Fail(const std::string& text) { throw ConvertError(text); }

using Vec3 = std::array<double, 3>;

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}


/// A decoded file of the series.
struct Decoded {
    std::string name;
    unsigned columns = 0, rows = 0, frames = 1;
    Vec3 origin{}, rowDir{}, colDir{};
    double spacing[3] = {1, 1, 1};
    double slope = 1, intercept = 0;
    gdcm::PixelFormat format;
    std::vector<char> buffer;
    bool inPlace = false;  ///< the samples went to the caller's place, not to `buffer`
};

/// An allocator whose containers leave new elements uninitialised: the
/// series buffer is overwritten by the decoder, so zero-filling it first
/// would only cost time.
template <typename T>
struct DefaultInit : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = DefaultInit<U>;
    };
    // Large buffers (a series is tens of MiB) in 2 MiB pages where the
    // system offers them: a few hundred times fewer page faults.
    static constexpr std::size_t kHuge = std::size_t{2} << 20;
    T* allocate(std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < 2 * kHuge) return std::allocator<T>::allocate(n);
        void* p = std::aligned_alloc(kHuge, (bytes + kHuge - 1) / kHuge * kHuge);
        if (!p) throw std::bad_alloc();
        ::madvise(p, bytes, MADV_HUGEPAGE);
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) {
        if (n * sizeof(T) < 2 * kHuge) return std::allocator<T>::deallocate(p, n);
        std::free(p);
    }
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... A>
    void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};
using SeriesBuffer = std::vector<unsigned char, DefaultInit<unsigned char>>;

/// Samples first … first + count − 1 of a decoded buffer, rescaled, into `out`.
template <typename T>
void Rescale(const Decoded& d, std::size_t first, std::size_t count, float* out) {
    const char* p = d.buffer.data() + first * sizeof(T);
    for (std::size_t i = 0; i < count; ++i) {
        T v;
        std::memcpy(&v, p + i * sizeof(T), sizeof(T));
        out[i] = float(double(v) * d.slope + d.intercept);
    }
}

void Samples(const Decoded& d, std::size_t first, std::size_t count, float* out) {
    switch (d.format.GetScalarType()) {
        case gdcm::PixelFormat::UINT8: return Rescale<std::uint8_t>(d, first, count, out);
        case gdcm::PixelFormat::INT8: return Rescale<std::int8_t>(d, first, count, out);
        case gdcm::PixelFormat::UINT16: return Rescale<std::uint16_t>(d, first, count, out);
        case gdcm::PixelFormat::INT16: return Rescale<std::int16_t>(d, first, count, out);
        case gdcm::PixelFormat::UINT32: return Rescale<std::uint32_t>(d, first, count, out);
        case gdcm::PixelFormat::INT32: return Rescale<std::int32_t>(d, first, count, out);
        default: std::fill(out, out + count, 0.0f);
    }
}

bool Supported(const gdcm::PixelFormat& f) {
    switch (f.GetScalarType()) {
        case gdcm::PixelFormat::UINT8:
        case gdcm::PixelFormat::INT8:
        case gdcm::PixelFormat::UINT16:
        case gdcm::PixelFormat::INT16:
        case gdcm::PixelFormat::UINT32:
        case gdcm::PixelFormat::INT32: return f.GetSamplesPerPixel() == 1;
        default: return false;
    }
}

/// Decodes one file. When `into` is given and the image takes exactly
/// `room` bytes, the samples go straight there (`inPlace`), else into the
/// result's own buffer.
Decoded Decode(const std::string& path, char* into = nullptr, std::size_t room = 0) {
    const std::string name = std::filesystem::path(path).filename().string();
    gdcm::ImageReader reader;
    reader.SetFileName(path.c_str());
    if (!reader.Read()) Fail("Die DICOM-Datei " + name + " kann nicht dekodiert werden.");
    const gdcm::Image& image = reader.GetImage();
    Decoded d;
    d.name = name;
    d.columns = image.GetDimension(0);
    d.rows = image.GetDimension(1);
    d.frames = image.GetNumberOfDimensions() > 2 ? std::max(1u, image.GetDimension(2)) : 1u;
    d.format = image.GetPixelFormat();
    if (!Supported(d.format)) {
        Fail("Die DICOM-Datei " + name + " enthält kein Graustufenbild mit 8, 16 oder 32 Bit.");
    }
    for (int i = 0; i < 3; ++i) {
        d.origin[i] = image.GetOrigin(i);
        d.rowDir[i] = image.GetDirectionCosines(i);
        d.colDir[i] = image.GetDirectionCosines(i + 3);
        d.spacing[i] = image.GetSpacing(i);
    }
    d.slope = image.GetSlope();
    d.intercept = image.GetIntercept();
    const std::size_t length = image.GetBufferLength();
    const std::size_t needed = std::size_t(d.columns) * d.rows * d.frames * d.format.GetPixelSize();
    if (length < needed || length == 0) Fail("Die DICOM-Datei " + name + " kann nicht dekodiert werden.");
    if (into && length == room) {
        if (!image.GetBuffer(into)) Fail("Die DICOM-Datei " + name + " kann nicht dekodiert werden.");
        d.inPlace = true;
        return d;
    }
    d.buffer.resize(length);
    if (!image.GetBuffer(d.buffer.data())) Fail("Die DICOM-Datei " + name + " kann nicht dekodiert werden.");
    return d;
}

/// The files of the series with the most DICOM images in the folder.
std::vector<std::string> LargestSeries(const std::string& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) Fail("Der Ordner " + folder + " existiert nicht.");
    gdcm::Directory::FilenamesType files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.is_regular_file(ec)) files.push_back(entry.path().string());
    }
    if (files.empty()) Fail("Der Ordner " + folder + " ist leer.");
    std::sort(files.begin(), files.end());
    gdcm::Trace::WarningOff();  // files that are no DICOM are expected here
    gdcm::Scanner scanner;
    scanner.AddTag(kSeriesUid);
    scanner.AddTag(kRows);
    scanner.AddTag(kColumns);
    scanner.AddTag(kPosition);
    scanner.AddTag(kOrientation);
    scanner.Scan(files);
    std::map<std::string, std::vector<std::string>> series;
    for (const std::string& f : files) {
        if (!scanner.IsKey(f.c_str())) continue;  // no DICOM file
        if (!scanner.GetValue(f.c_str(), kRows) || !scanner.GetValue(f.c_str(), kColumns)) continue;  // no image
        const char* uid = scanner.GetValue(f.c_str(), kSeriesUid);
        series[uid ? uid : ""].push_back(f);
    }
    if (series.empty()) Fail("Der Ordner " + folder + " enthält keine DICOM-Bilder.");
    auto largest = series.begin();
    for (auto it = series.begin(); it != series.end(); ++it) {
        if (it->second.size() > largest->second.size()) largest = it;
    }
    // In the order of the positions the headers give, so that the decoded
    // slices can go straight to their place (the decoded geometry decides).
    std::vector<std::string> chosen = largest->second;
    auto numbers = [&](const std::string& f, const gdcm::Tag& t) {
        std::vector<double> v;
        const char* text = scanner.GetValue(f.c_str(), t);
        if (!text) return v;
        std::string item;
        for (const char* c = text;; ++c) {
            if (*c == '\\' || *c == 0) {
                v.push_back(std::atof(item.c_str()));
                item.clear();
                if (*c == 0) break;
            } else {
                item += *c;
            }
        }
        return v;
    };
    const std::vector<double> o = numbers(chosen.front(), kOrientation);
    if (o.size() == 6) {
        const Vec3 normal = Cross({o[0], o[1], o[2]}, {o[3], o[4], o[5]});
        std::vector<std::pair<double, std::string>> keyed;
        for (const std::string& f : chosen) {
            const std::vector<double> p = numbers(f, kPosition);
            keyed.emplace_back(p.size() == 3 ? Dot({p[0], p[1], p[2]}, normal) : 0.0, f);
        }
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < keyed.size(); ++i) chosen[i] = keyed[i].second;
    }
    return chosen;
}

bool Near(const Vec3& a, const Vec3& b) {
    return std::fabs(a[0] - b[0]) < 1e-3 && std::fabs(a[1] - b[1]) < 1e-3 && std::fabs(a[2] - b[2]) < 1e-3;
}

}  // namespace

std::vector<double> DicomFileSamples(const std::string& path) {
    const Decoded d = Decode(path);
    std::vector<float> v(std::size_t(d.columns) * d.rows * d.frames);
    Samples(d, 0, v.size(), v.data());
    return std::vector<double>(v.begin(), v.end());
}

namespace {

/// One slice of the series as decoded: where it lies and where its samples are.
struct Placed {
    double along = 0;           ///< position along the slice normal, mm
    std::size_t offset = 0;     ///< byte offset of its samples in the series buffer
    gdcm::PixelFormat format;
    double slope = 1, intercept = 0;
};

template <typename T>
NiftiVolume Typed(const SeriesBuffer& raw, const ImageData<float>& shape, const Placed& p,
                  const std::string& folder, std::uint8_t* out) {
    ImageData<T> image;
    image.raw = raw.data();
    image.dims = shape.dims;
    image.voxelToWorld = shape.voxelToWorld;
    image.scaling = Scaling{p.slope, p.intercept};
    return ToViewerVolume(image, folder, out);
}

/// The series into `out` (16 MiB, zeroed); returns planes and voxel size.
NiftiVolume ConvertHere(const std::string& folder, std::uint8_t* out) {
    const std::vector<std::string> names = LargestSeries(folder);
    SeriesBuffer raw;
    std::vector<Placed> slices;
    Decoded first = Decode(names.front());
    const Vec3 normal = Cross(first.rowDir, first.colDir);
    if (Dot(normal, normal) < 0.5) Fail("Die Serie hat keine gültige Bildorientierung.");
    bool uniform = true;  // one pixel format and one rescale for all slices
    auto place = [&](const Decoded& d, std::size_t offset) {
        if (d.columns != first.columns || d.rows != first.rows) {
            Fail("Die Schichten der Serie sind verschieden groß (" + d.name + ").");
        }
        if (!Near(d.rowDir, first.rowDir) || !Near(d.colDir, first.colDir)) {
            Fail("Die Schichten der Serie sind verschieden ausgerichtet (" + d.name + ").");
        }
        uniform = uniform && d.format.GetScalarType() == first.format.GetScalarType() &&
                  d.slope == first.slope && d.intercept == first.intercept;
        // Frames of a multi-frame file follow each other along the normal.
        const std::size_t frameBytes = std::size_t(d.columns) * d.rows * d.format.GetPixelSize();
        for (unsigned f = 0; f < d.frames; ++f) {
            slices.push_back({Dot(d.origin, normal) + f * d.spacing[2], offset + f * frameBytes, d.format,
                              d.slope, d.intercept});
        }
    };
    const std::size_t slot = first.buffer.size();
    bool regular = first.frames == 1 && names.size() > 1;
    if (regular) {
        // One slice a file, all of one size (as scanners write series): two
        // threads decode alternate files straight to their places.
        raw.resize(names.size() * slot);
        std::vector<Decoded> meta(names.size());
        std::vector<std::string> errors(names.size());
        std::atomic<bool> irregular{false};
        auto work = [&](std::size_t begin) {
            for (std::size_t i = begin; i < names.size() && !irregular; i += 2) {
                try {
                    char* slotStart = reinterpret_cast<char*>(raw.data() + i * slot);
                    Decoded d = i == 0 ? first : Decode(names[i], slotStart, slot);
                    if (d.frames != 1 || (!d.inPlace && d.buffer.size() != slot)) {
                        irregular = true;
                        break;
                    }
                    if (!d.inPlace) std::memcpy(slotStart, d.buffer.data(), slot);
                    d.buffer = {};
                    meta[i] = std::move(d);
                } catch (const std::exception& e) {
                    errors[i] = e.what();
                    break;
                }
            }
        };
        std::thread helper(work, 1);
        work(0);
        helper.join();
        for (const std::string& e : errors)
            if (!e.empty()) Fail(e);
        regular = !irregular;
        if (regular) {
            for (std::size_t i = 0; i < names.size(); ++i) place(meta[i], i * slot);
        }
    }
    if (!regular) {
        // Any other series: one file at a time, appended in the headers' order.
        raw.clear();
        slices.clear();
        uniform = true;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const Decoded d = i == 0 ? first : Decode(names[i]);
            const std::size_t bytes = std::size_t(d.columns) * d.rows * d.format.GetPixelSize() * d.frames;
            place(d, raw.size());
            raw.insert(raw.end(), d.buffer.begin(), d.buffer.begin() + std::ptrdiff_t(bytes));
        }
    }
    first.buffer = {};
    if (slices.size() < 2) Fail("Die Serie hat nur eine Schicht; das ist kein Volumen.");
    std::stable_sort(slices.begin(), slices.end(), [](const Placed& a, const Placed& b) { return a.along < b.along; });
    const double step = (slices.back().along - slices.front().along) / double(slices.size() - 1);
    if (!(step > 1e-6)) Fail("Die Schichten der Serie liegen nicht hintereinander (gleiche Positionen).");

    // Array axes in LPS patient coordinates, turned into RAS (x and y negated).
    const std::int64_t nx = first.columns, ny = first.rows, nz = std::int64_t(slices.size());
    ImageData<float> image;
    image.dims = {nx, ny, nz};
    const Vec3 axes[3] = {first.rowDir, first.colDir, normal};
    const double spacing[3] = {first.spacing[0] > 0 ? first.spacing[0] : 1.0,
                               first.spacing[1] > 0 ? first.spacing[1] : 1.0, step};
    for (int a = 0; a < 3; ++a) {
        image.voxelToWorld[0][a] = -axes[a][0] * spacing[a];
        image.voxelToWorld[1][a] = -axes[a][1] * spacing[a];
        image.voxelToWorld[2][a] = axes[a][2] * spacing[a];
    }
    const std::size_t plane = std::size_t(nx * ny);
    bool ordered = true;
    for (std::size_t k = 0; k < slices.size(); ++k) {
        ordered = ordered && slices[k].offset == k * plane * first.format.GetPixelSize();
    }
    // Samples in their stored type, when every slice shares it and its
    // rescale, and the headers' order was the right one.
    if (uniform && ordered) {
        switch (first.format.GetScalarType()) {
            case gdcm::PixelFormat::UINT8: return Typed<std::uint8_t>(raw, image, slices[0], folder, out);
            case gdcm::PixelFormat::INT8: return Typed<std::int8_t>(raw, image, slices[0], folder, out);
            case gdcm::PixelFormat::UINT16: return Typed<std::uint16_t>(raw, image, slices[0], folder, out);
            case gdcm::PixelFormat::INT16: return Typed<std::int16_t>(raw, image, slices[0], folder, out);
            case gdcm::PixelFormat::UINT32: return Typed<std::uint32_t>(raw, image, slices[0], folder, out);
            case gdcm::PixelFormat::INT32: return Typed<std::int32_t>(raw, image, slices[0], folder, out);
            default: break;
        }
    }
    // Otherwise as float, after each slice's own rescale, in position order.
    std::vector<float> values(plane * std::size_t(nz));
    for (std::size_t k = 0; k < slices.size(); ++k) {
        Decoded view;  // the slice's samples seen through its format
        view.format = slices[k].format;
        view.slope = slices[k].slope;
        view.intercept = slices[k].intercept;
        view.buffer.assign(raw.begin() + std::ptrdiff_t(slices[k].offset),
                           raw.begin() + std::ptrdiff_t(slices[k].offset + plane * view.format.GetPixelSize()));
        Samples(view, 0, plane, values.data() + k * plane);
    }
    image.raw = reinterpret_cast<const unsigned char*>(values.data());
    return ToViewerVolume(image, folder, out);
}

}  // namespace

void FillDicomSeriesResult(const std::string& folder, DicomSeriesResult& result) {
    try {
        const NiftiVolume v = ConvertHere(folder, result.voxels);
        result.planes = v.planes;
        result.edge = v.voxelEdgeMm;
        result.status = 0;
    } catch (const std::exception& e) {
        std::snprintf(result.message, sizeof result.message, "%s", e.what());
        result.status = 1;
    }
}

void ConvertDicomSeries(const std::string& folder,
                        const std::function<void(const std::uint8_t* voxels, int planes, double edge)>& use) {
    // GDCM ends the whole process on some damaged files (assertions, huge
    // allocations), so the series is read in a child process that hands the
    // volume back through shared memory; the caller survives any file.
    void* mem = ::mmap(nullptr, sizeof(DicomSeriesResult), PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) Fail("Kein Speicher für die DICOM-Serie.");
    auto* shared = static_cast<DicomSeriesResult*>(mem);
    struct Unmap {
        void* p;
        ~Unmap() { ::munmap(p, sizeof(DicomSeriesResult)); }
    } unmap{mem};
    shared->status = 2;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) Fail("Der DICOM-Leser kann nicht gestartet werden.");
    if (pid == 0) {
        // A failure of the reader simply ends the child.
        for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(sig, SIG_DFL);
        FillDicomSeriesResult(folder, *shared);
        ::_exit(0);
    }
    int wstatus = 0;
    pid_t waited;
    while ((waited = ::waitpid(pid, &wstatus, 0)) < 0 && errno == EINTR) {
    }
    CheckDicomSeriesResult(folder, *shared, waited == pid && WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    use(shared->voxels, shared->planes, shared->edge);
}

NiftiVolume ConvertDicomSeries(const std::string& folder) {
    NiftiVolume v;
    ConvertDicomSeries(folder, [&](const std::uint8_t* voxels, int planes, double edge) {
        v.voxels.assign(voxels, voxels + sizeof(DicomSeriesResult::voxels));
        v.planes = planes;
        v.voxelEdgeMm = edge;
    });
    return v;
}

}  // namespace zx
