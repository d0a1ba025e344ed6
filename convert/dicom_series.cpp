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
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "convert/pipeline.h"

namespace zx {
namespace {

const gdcm::Tag kSeriesUid(0x0020, 0x000e);
const gdcm::Tag kRows(0x0028, 0x0010);
const gdcm::Tag kColumns(0x0028, 0x0011);

[[noreturn]] void Fail(const std::string& text) { throw ConvertError(text); }

using Vec3 = std::array<double, 3>;

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

/// One decoded slice (one frame of a file) and where it lies.
struct Slice {
    double along = 0;        ///< position along the slice normal, mm
    std::size_t file = 0;    ///< index into the decoded files
    unsigned frame = 0;
};

/// A decoded file of the series.
struct Decoded {
    std::string name;
    unsigned columns = 0, rows = 0, frames = 1;
    Vec3 origin{}, rowDir{}, colDir{};
    double spacing[3] = {1, 1, 1};
    double slope = 1, intercept = 0;
    gdcm::PixelFormat format;
    std::vector<char> buffer;
};

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

Decoded Decode(const std::string& path) {
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
    d.buffer.resize(image.GetBufferLength());
    if (d.buffer.empty() || !image.GetBuffer(d.buffer.data())) {
        Fail("Die DICOM-Datei " + name + " kann nicht dekodiert werden.");
    }
    const std::size_t needed = std::size_t(d.columns) * d.rows * d.frames * d.format.GetPixelSize();
    if (d.buffer.size() < needed) Fail("Die DICOM-Datei " + name + " kann nicht dekodiert werden.");
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
    return largest->second;
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

NiftiVolume ConvertHere(const std::string& folder) {
    std::vector<Decoded> files;
    for (const std::string& f : LargestSeries(folder)) files.push_back(Decode(f));
    const Decoded& first = files.front();
    const Vec3 normal = Cross(first.rowDir, first.colDir);
    if (Dot(normal, normal) < 0.5) Fail("Die Serie hat keine gültige Bildorientierung.");
    std::vector<Slice> slices;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Decoded& d = files[i];
        if (d.columns != first.columns || d.rows != first.rows) {
            Fail("Die Schichten der Serie sind verschieden groß (" + d.name + ").");
        }
        if (!Near(d.rowDir, first.rowDir) || !Near(d.colDir, first.colDir)) {
            Fail("Die Schichten der Serie sind verschieden ausgerichtet (" + d.name + ").");
        }
        // Frames of a multi-frame file follow each other along the normal.
        for (unsigned f = 0; f < d.frames; ++f) {
            slices.push_back({Dot(d.origin, normal) + f * d.spacing[2], i, f});
        }
    }
    if (slices.size() < 2) Fail("Die Serie hat nur eine Schicht; das ist kein Volumen.");
    std::stable_sort(slices.begin(), slices.end(), [](const Slice& a, const Slice& b) { return a.along < b.along; });
    const double step = (slices.back().along - slices.front().along) / double(slices.size() - 1);
    if (!(step > 1e-6)) Fail("Die Schichten der Serie liegen nicht hintereinander (gleiche Positionen).");

    // Samples as float, after Rescale Slope/Intercept, array axis 0 fastest.
    const std::int64_t nx = first.columns, ny = first.rows, nz = std::int64_t(slices.size());
    std::vector<float> values(std::size_t(nx * ny * nz));
    for (std::int64_t k = 0; k < nz; ++k) {
        const Slice& s = slices[std::size_t(k)];
        const Decoded& d = files[s.file];
        const std::size_t base = std::size_t(s.frame) * std::size_t(nx * ny);
        Samples(d, base, std::size_t(nx * ny), values.data() + std::size_t(k * nx * ny));
    }
    // Array axes in LPS patient coordinates, turned into RAS (x and y negated).
    ImageData<float> image;
    image.raw = reinterpret_cast<const unsigned char*>(values.data());
    image.dims = {nx, ny, nz};
    const Vec3 axes[3] = {first.rowDir, first.colDir, normal};
    const double spacing[3] = {first.spacing[0] > 0 ? first.spacing[0] : 1.0,
                               first.spacing[1] > 0 ? first.spacing[1] : 1.0, step};
    for (int a = 0; a < 3; ++a) {
        image.voxelToWorld[0][a] = -axes[a][0] * spacing[a];
        image.voxelToWorld[1][a] = -axes[a][1] * spacing[a];
        image.voxelToWorld[2][a] = axes[a][2] * spacing[a];
    }
    return ToViewerVolume(image, folder);
}

}  // namespace

NiftiVolume ConvertDicomSeries(const std::string& folder) {
    // GDCM ends the whole process on some damaged files (assertions, huge
    // allocations), so the series is read in a child process that hands the
    // volume back through shared memory; the caller survives any file.
    struct Shared {
        int status;  // 0 volume, 1 refused (message), 2 other failure
        int planes;
        double edge;
        char message[2048];
        std::uint8_t voxels[16777216];
    };
    void* mem = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) Fail("Kein Speicher für die DICOM-Serie.");
    auto* shared = static_cast<Shared*>(mem);
    struct Unmap {
        void* p;
        ~Unmap() { ::munmap(p, sizeof(Shared)); }
    } unmap{mem};
    shared->status = 2;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) Fail("Der DICOM-Leser kann nicht gestartet werden.");
    if (pid == 0) {
        // A failure of the reader simply ends the child.
        for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(sig, SIG_DFL);
        try {
            const NiftiVolume v = ConvertHere(folder);
            std::memcpy(shared->voxels, v.voxels.data(), sizeof shared->voxels);
            shared->planes = v.planes;
            shared->edge = v.voxelEdgeMm;
            shared->status = 0;
        } catch (const std::exception& e) {
            std::snprintf(shared->message, sizeof shared->message, "%s", e.what());
            shared->status = 1;
        }
        ::_exit(0);
    }
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != 0 || shared->status == 2) {
        Fail("Der Ordner " + folder + " enthält eine beschädigte DICOM-Datei, an der der DICOM-Leser scheitert.");
    }
    if (shared->status == 1) Fail(shared->message);
    NiftiVolume v;
    v.voxels.assign(shared->voxels, shared->voxels + sizeof shared->voxels);
    v.planes = shared->planes;
    v.voxelEdgeMm = shared->edge;
    return v;
}

}  // namespace zx
