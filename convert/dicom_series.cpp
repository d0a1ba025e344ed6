#include "convert/dicom_series.h"

#include <gdcmImage.h>
#include <gdcmImageHelper.h>
#include <gdcmImageReader.h>
#include <gdcmReader.h>
#include <gdcmScanner.h>
#include <gdcmSequenceOfFragments.h>
#include <gdcmTrace.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "convert/dicom_check.h"
#include "convert/dicom_helper.h"
#include "convert/dicom_index.h"
#include "convert/dicom_result.h"
#include "convert/j2k_decoder.h"
#include "convert/pipeline.h"
#include "convert/plane_stream.h"
#include "convert/rle_decoder.h"
#include "convert/series_plan.h"
#include "convert/two_threads.h"
#include "convert/window_samples.h"

namespace zx {
namespace {

const gdcm::Tag kSeriesUid(0x0020, 0x000e);
const gdcm::Tag kRows(0x0028, 0x0010);
const gdcm::Tag kColumns(0x0028, 0x0011);
const gdcm::Tag kFrames(0x0028, 0x0008);
const gdcm::Tag kPosition(0x0020, 0x0032);
const gdcm::Tag kOrientation(0x0020, 0x0037);
const gdcm::Tag kPixelData(0x7fe0, 0x0010);

[[noreturn]] void Fail(const std::string& text) { throw ConvertError(text); }

std::string Name(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

/// A decoded file: its geometry and sample format (the samples are in the
/// buffer the caller gave).
struct Decoded {
    std::string name;
    unsigned columns = 0, rows = 0, frames = 1;
    Vec3 origin{}, rowDir{}, colDir{};
    double spacing[3] = {1, 1, 1};
    Scaling scaling;
    gdcm::PixelFormat format;
};

bool Supported(const gdcm::PixelFormat& f) {
    switch (f.GetScalarType()) {
        case gdcm::PixelFormat::UINT8:
        case gdcm::PixelFormat::INT8:
        case gdcm::PixelFormat::UINT16:
        case gdcm::PixelFormat::INT16:
        case gdcm::PixelFormat::UINT32:
        case gdcm::PixelFormat::INT32:
            return f.GetSamplesPerPixel() == 1;
        default:
            return false;
    }
}

/// Calls `use` with the samples seen in their stored type.
template <typename F>
void Typed(const gdcm::PixelFormat& f, const char* data, F&& use) {
    switch (f.GetScalarType()) {
        case gdcm::PixelFormat::UINT8:
            return use(reinterpret_cast<const std::uint8_t*>(data));
        case gdcm::PixelFormat::INT8:
            return use(reinterpret_cast<const std::int8_t*>(data));
        case gdcm::PixelFormat::UINT16:
            return use(reinterpret_cast<const std::uint16_t*>(data));
        case gdcm::PixelFormat::INT16:
            return use(reinterpret_cast<const std::int16_t*>(data));
        case gdcm::PixelFormat::UINT32:
            return use(reinterpret_cast<const std::uint32_t*>(data));
        case gdcm::PixelFormat::INT32:
            return use(reinterpret_cast<const std::int32_t*>(data));
        default:
            break;
    }
}

/// The single fragment of encapsulated Pixel Data of one frame and one
/// sample a pixel, or null.
const gdcm::ByteValue* OneFragment(const gdcm::DataElement& pixels, const Decoded& d) {
    if (d.frames != 1 || d.format.GetSamplesPerPixel() != 1) return nullptr;
    const gdcm::SequenceOfFragments* fragments = pixels.GetSequenceOfFragments();
    if (!fragments || fragments->GetNumberOfFragments() != 1) return nullptr;
    return fragments->GetFragment(0).GetByteValue();
}

/// An RLE Lossless image of one frame and one sample a pixel, decoded
/// straight into `buffer` (GDCM's decoder writes each run through a
/// stream). False when the image is of another kind or damaged.
bool DecodeRleHere(const gdcm::DataElement& pixels, const Decoded& d, std::vector<char>& buffer) {
    const gdcm::ByteValue* bv = OneFragment(pixels, d);
    const std::size_t count = std::size_t(d.columns) * d.rows;
    const int bytes = int(d.format.GetPixelSize());
    if (!bv || buffer.size() < count * std::size_t(bytes)) return false;
    return DecodeRleFrame(reinterpret_cast<const std::uint8_t*>(bv->GetPointer()), bv->GetLength(),
                          count, bytes, reinterpret_cast<std::uint8_t*>(buffer.data()));
}

/// A JPEG 2000 image of one frame in one fragment, decoded by openjp2
/// straight into `buffer` on this thread (GDCM starts threads of its own
/// for every image, where two images are decoded at a time already).
/// False when the image is of another kind or openjp2 refuses it.
bool DecodeJ2kHere(const gdcm::DataElement& pixels, const Decoded& d, std::vector<char>& buffer) {
    const gdcm::ByteValue* bv = OneFragment(pixels, d);
    J2kTarget t;
    t.columns = d.columns;
    t.rows = d.rows;
    t.bytesPerSample = int(d.format.GetPixelSize());
    t.signedSamples = d.format.GetPixelRepresentation() == 1;
    if (!bv || buffer.size() < std::size_t(t.columns) * t.rows * std::size_t(t.bytesPerSample))
        return false;
    return DecodeJ2kFrame(reinterpret_cast<const std::uint8_t*>(bv->GetPointer()), bv->GetLength(),
                          t, reinterpret_cast<std::uint8_t*>(buffer.data()));
}

bool IsRle(const gdcm::TransferSyntax& ts) { return ts == gdcm::TransferSyntax::RLELossless; }
bool IsJ2k(const gdcm::TransferSyntax& ts) {
    return ts == gdcm::TransferSyntax::JPEG2000Lossless || ts == gdcm::TransferSyntax::JPEG2000;
}

/// An RLE or JPEG 2000 slice of one frame decoded by the decoders above
/// from the data set alone, its geometry and sample format taken by the
/// helpers GDCM's image reader uses. The image reader would decode every
/// RLE image a second time, through a stream, only to learn that RLE is
/// lossless. Nothing when the file is of another kind or the decoders
/// refuse it: the image reader then reads it and names any damage.
std::optional<Decoded> DecodeDirectly(const std::string& path, const std::string& name,
                                      std::vector<char>& buffer) {
    gdcm::Reader reader;
    reader.SetFileName(path.c_str());
    if (!reader.Read()) return std::nullopt;
    const gdcm::File& file = reader.GetFile();
    const gdcm::TransferSyntax ts = file.GetHeader().GetDataSetTransferSyntax();
    const gdcm::DataSet& ds = file.GetDataSet();
    if ((!IsRle(ts) && !IsJ2k(ts)) || !ds.FindDataElement(kPixelData)) return std::nullopt;
    const std::vector<unsigned> dims = gdcm::ImageHelper::GetDimensionsValue(file);
    Decoded d;
    d.name = name;
    d.columns = dims.size() > 0 ? dims[0] : 0;
    d.rows = dims.size() > 1 ? dims[1] : 0;
    d.frames = dims.size() > 2 ? std::max(1u, dims[2]) : 1u;
    d.format = gdcm::ImageHelper::GetPixelFormatValue(file);
    if (d.columns == 0 || d.rows == 0 || d.frames != 1 || !Supported(d.format)) return std::nullopt;
    const std::vector<double> origin = gdcm::ImageHelper::GetOriginValue(file);
    const std::vector<double> cosines = gdcm::ImageHelper::GetDirectionCosinesValue(file);
    const std::vector<double> spacing = gdcm::ImageHelper::GetSpacingValue(file);
    const std::vector<double> rescale = gdcm::ImageHelper::GetRescaleInterceptSlopeValue(file);
    if (origin.size() < 3 || cosines.size() < 6 || spacing.size() < 3 || rescale.size() < 2)
        return std::nullopt;
    for (int i = 0; i < 3; ++i) {
        d.origin[i] = origin[std::size_t(i)];
        d.rowDir[i] = cosines[std::size_t(i)];
        d.colDir[i] = cosines[std::size_t(i) + 3];
        d.spacing[i] = spacing[std::size_t(i)];
    }
    d.scaling = Scaling{rescale[1], rescale[0]};
    const std::uint64_t length = std::uint64_t(d.columns) * d.rows * d.format.GetPixelSize();
    if (length > kMaxDicomImageBytes) return std::nullopt;
    buffer.resize(std::size_t(length));
    const gdcm::DataElement& pixels = ds.GetDataElement(kPixelData);
    if (IsRle(ts) ? !DecodeRleHere(pixels, d, buffer) : !DecodeJ2kHere(pixels, d, buffer))
        return std::nullopt;
    return d;
}

/// A file read by GDCM's image reader, decoded into `buffer`.
Decoded ReadImage(const std::string& path, const std::string& name, std::vector<char>& buffer) {
    auto broken = [&] { Fail("Die DICOM-Datei " + name + " kann nicht dekodiert werden."); };
    gdcm::ImageReader reader;
    reader.SetFileName(path.c_str());
    if (!reader.Read()) broken();
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
    d.scaling = Scaling{image.GetSlope(), image.GetIntercept()};
    const std::uint64_t length = image.GetBufferLength();
    const std::uint64_t needed =
        std::uint64_t(d.columns) * d.rows * d.frames * d.format.GetPixelSize();
    if (length > kMaxDicomImageBytes || needed > kMaxDicomImageBytes)
        Fail("Die DICOM-Datei " + name +
             " ist zu groß (Datei zu groß: mehr als 512 MiB Bilddaten).");
    if (length < needed || length == 0) broken();
    buffer.resize(std::size_t(length));
    const gdcm::TransferSyntax ts = image.GetTransferSyntax();
    const gdcm::DataElement& pixels = image.GetDataElement();
    // RLE of one frame in one fragment is decoded here only: damage GDCM
    // might pass over is refused.
    if (IsRle(ts) && OneFragment(pixels, d)) {
        if (!DecodeRleHere(pixels, d, buffer)) broken();
    } else if (!(IsJ2k(ts) && DecodeJ2kHere(pixels, d, buffer)) &&
               !image.GetBuffer(buffer.data())) {
        broken();
    }
    // GDCM swaps the bytes of big-endian samples in pairs: 32-bit samples
    // come out with their halves exchanged, and are put right here.
    if (d.format.GetPixelSize() == 4 && reader.GetFile().GetHeader().GetDataSetTransferSyntax() ==
                                            gdcm::TransferSyntax::ExplicitVRBigEndian) {
        for (std::size_t i = 0; i + 4 <= buffer.size(); i += 4) {
            std::uint32_t v;
            std::memcpy(&v, buffer.data() + i, 4);
            v = (v << 16) | (v >> 16);
            std::memcpy(buffer.data() + i, &v, 4);
        }
    }
    return d;
}

/// Decodes one file into `buffer` after checking its declared lengths
/// against the file; `checked`: the file's check while it was indexed by
/// this reader, not repeated.
Decoded Decode(const std::string& path, std::vector<char>& buffer,
               const DicomLayout* checked = nullptr) {
    const std::string name = Name(path);
    const DicomLayout layout = checked ? *checked : CheckDicomFile(path, name);
    if (layout.compressed) {
        if (std::optional<Decoded> d = DecodeDirectly(path, name, buffer)) return *d;
    }
    return ReadImage(path, name, buffer);
}

/// A file of the series as its header describes it.
struct Slice {
    std::string path;
    DicomLayout layout;
    long frames = 1;
    SliceHeader header;
};
/// The series chosen from the index (`chosen` from 1; 0: the only
/// volume). Throws ConvertError naming what was found when there is no
/// such volume, SeveralVolumesError listing them when there are several.
/// `line` receives the chosen entry's list line.
std::vector<Slice> ChosenSeries(const std::string& path, int chosen, DicomIndex& index,
                                std::string& line) {
    if (index.series.empty() && !index.firstDamage.empty()) Fail(index.firstDamage);
    if (index.series.empty()) Fail("Der Ordner " + index.root + " enthält keine DICOM-Bilder.");
    const std::size_t volumes = VolumeCount(index.series);
    std::size_t pick = 0;
    if (chosen > 0) {
        if (std::size_t(chosen) > index.series.size())
            Fail("Die Serie " + std::to_string(chosen) + " gibt es nicht; " + path + " enthält " +
                 std::to_string(index.series.size()) + " Serien.");
        pick = std::size_t(chosen) - 1;
        if (index.series[pick].kind != SeriesKind::Volume) Fail(index.series[pick].reason);
    } else if (volumes == 0) {
        Fail(NoVolumeMessage(index.series));
    } else if (volumes > 1) {
        std::string list = path + " enthält " + std::to_string(volumes) +
                           " Volumen; eine Serie ist mit --series N zu wählen:";
        for (std::size_t i = 0; i < index.series.size(); ++i) {
            list += '\n';
            list += SeriesListLine(i + 1, index.series[i]);
        }
        throw SeveralVolumesError(list);
    } else {
        while (index.series[pick].kind != SeriesKind::Volume) ++pick;
    }
    line = SeriesListLine(pick + 1, index.series[pick]);
    std::vector<Slice> slices;
    for (std::size_t i : index.series[pick].files) {
        IndexedFile& f = index.files[i];
        slices.push_back({f.path, f.layout, f.header.frames, f.header});
    }
    return slices;
}

Matrix3 VoxelToWorld(const Vec3& rowDir, const Vec3& colDir, const Vec3& normal,
                     const double spacing[3]) {
    // Array axes in LPS patient coordinates, turned into RAS (x and y negated).
    Matrix3 m{};
    const Vec3 axes[3] = {rowDir, colDir, normal};
    for (int a = 0; a < 3; ++a) {
        m[0][a] = -axes[a][0] * spacing[a];
        m[1][a] = -axes[a][1] * spacing[a];
        m[2][a] = axes[a][2] * spacing[a];
    }
    return m;
}

double PixelSpacing(double s) { return std::isfinite(s) && s > 0 ? s : 1.0; }

/// A single file of several frames, one after another along the normal.
ConvertedVolume OneFile(const std::string& path, const std::string& folder, std::uint8_t* out) {
    std::vector<char> buffer;
    const Decoded d = Decode(path, buffer);
    if (d.frames < 2) Fail("Die Serie hat nur eine Schicht; das ist kein Volumen.");
    const Vec3 normal = Cross(d.rowDir, d.colDir);
    if (!(Dot(normal, normal) > 0.5)) Fail("Die Serie hat keine gültige Bildorientierung.");
    const double spacing[3] = {PixelSpacing(d.spacing[0]), PixelSpacing(d.spacing[1]),
                               PixelSpacing(d.spacing[2])};
    PlaneStream stream({d.columns, d.rows, d.frames},
                       VoxelToWorld(d.rowDir, d.colDir, normal, spacing), folder, std::nullopt,
                       out);
    const std::size_t frameBytes = std::size_t(d.columns) * d.rows * d.format.GetPixelSize();
    for (unsigned f = 0; f < d.frames; ++f) {
        Typed(d.format, buffer.data() + f * frameBytes,
              [&](auto samples) { stream.Add(f, samples, d.scaling); });
    }
    return stream.Finish();
}

/// A planned series: its slices in position order and their grid.
struct Series {
    std::string folder;
    std::vector<Slice> slices;
    std::array<std::int64_t, 3> dims;
    Vec3 rowDir, colDir;
    Matrix3 voxelToWorld;
    std::vector<char> firstSamples;  ///< the first file, decoded while planning
};

/// Calls `use` with the uncompressed samples of slice k in their stored
/// type, read into `buffer`, and the slice's scaling.
template <typename F>
void NativeSamples(const Series& series, std::size_t k, std::vector<unsigned char>& buffer,
                   F&& use) {
    const Slice& s = series.slices[k];
    const std::uint64_t plane = std::uint64_t(series.dims[0]) * std::uint64_t(series.dims[1]);
    const DicomLayout& l = s.layout;
    const Scaling scaling{l.slope, l.intercept};
    const unsigned char* p =
        ReadNativeSamples(s.path, l, plane * std::uint64_t(l.bits / 8), buffer);
    if (l.bits == 8 && l.signedSamples) use(reinterpret_cast<const std::int8_t*>(p), scaling);
    if (l.bits == 8 && !l.signedSamples) use(reinterpret_cast<const std::uint8_t*>(p), scaling);
    if (l.bits == 16 && l.signedSamples) use(reinterpret_cast<const std::int16_t*>(p), scaling);
    if (l.bits == 16 && !l.signedSamples) use(reinterpret_cast<const std::uint16_t*>(p), scaling);
}

/// An uncompressed series in two cheap passes over the files: the window
/// from the samples first, then each slice straight to its greys, without
/// a grid of intermediate values.
ConvertedVolume StreamNative(const Series& series, std::uint8_t* out,
                             const DicomProgress& progress) {
    const std::uint64_t plane = std::uint64_t(series.dims[0]) * std::uint64_t(series.dims[1]);
    const std::size_t n = series.slices.size();
    std::vector<unsigned char> buffers[2];
    WindowSamples samples(plane * n);
    OnTwoThreads(n, [&](std::size_t k, int thread) {
        NativeSamples(series, k, buffers[thread], [&](auto typed, const Scaling& scaling) {
            samples.Add(k * plane, typed, plane, scaling);
        });
    });
    PlaneStream stream(series.dims, series.voxelToWorld, series.folder, samples.Result(), out);
    std::atomic<int> done{0};
    OnTwoThreads(
        n,
        [&](std::size_t k, int thread) {
            NativeSamples(series, k, buffers[thread], [&](auto typed, const Scaling& scaling) {
                stream.Add(std::int64_t(k), typed, scaling);
            });
            if (progress) progress(++done, int(n));
        },
        [&] { stream.Abort(); });
    return stream.Finish();
}

/// Whether the decoder saw the file as its header describes it.
bool AsStated(const Decoded& d, const DicomLayout& l) {
    const auto type = d.format.GetScalarType();
    const auto expected =
        l.bits == 8 ? (l.signedSamples ? gdcm::PixelFormat::INT8 : gdcm::PixelFormat::UINT8)
                    : (l.signedSamples ? gdcm::PixelFormat::INT16 : gdcm::PixelFormat::UINT16);
    return type == expected && d.scaling.slope == l.slope && d.scaling.inter == l.intercept;
}

/// Decodes the slices two at a time and resamples each into the grid as it
/// comes.
ConvertedVolume Stream(Series& series, const Decoded& head, std::uint8_t* out,
                       const DicomProgress& progress) {
    PlaneStream stream(series.dims, series.voxelToWorld, series.folder, std::nullopt, out);
    std::atomic<int> done{0};
    const std::size_t n = series.slices.size();
    std::vector<char> buffers[2];
    OnTwoThreads(
        n,
        [&](std::size_t k, int thread) {
            std::vector<char>& buffer = buffers[thread];
            const Decoded d =
                k == 0 ? head : Decode(series.slices[k].path, buffer, &series.slices[k].layout);
            const std::vector<char>& samples = k == 0 ? series.firstSamples : buffer;
            if (d.columns != series.dims[0] || d.rows != series.dims[1] || d.frames != 1)
                Fail("Die Schichten der Serie sind verschieden groß (" + d.name + ").");
            if (!SameDirection(d.rowDir, series.rowDir) || !SameDirection(d.colDir, series.colDir))
                Fail("Die Schichten der Serie sind verschieden ausgerichtet (" + d.name + ").");
            Typed(d.format, samples.data(),
                  [&](auto typed) { stream.Add(std::int64_t(k), typed, d.scaling); });
            if (progress) progress(++done, int(n));
        },
        [&] { stream.Abort(); });
    return stream.Finish();
}

}  // namespace

std::vector<double> DicomFileSamples(const std::string& path) {
    std::vector<char> buffer;
    const Decoded d = Decode(path, buffer);
    const std::size_t n = std::size_t(d.columns) * d.rows * d.frames;
    std::vector<double> v(n);
    Typed(d.format, buffer.data(), [&](auto samples) {
        for (std::size_t i = 0; i < n; ++i) {
            auto s = samples[0];
            std::memcpy(&s, samples + i, sizeof s);
            v[i] = double(float(d.scaling.Apply(double(s))));
        }
    });
    return v;
}

ConvertedVolume ReadDicomSeriesHere(const std::string& folder, std::uint8_t* out,
                                    const DicomProgress& progress, std::string* notice, int chosen,
                                    std::string* seriesLine) {
    // The decoders allocate and free large buffers for every file; kept in
    // the heap instead of being returned to the system each time, they are
    // not faulted in and cleared again file after file.
    ::mallopt(M_MMAP_THRESHOLD, 256 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 512 << 20);
    DicomIndex index = IndexDicom(folder);
    std::string line;
    std::vector<Slice> all = ChosenSeries(folder, chosen, index, line);
    if (seriesLine) *seriesLine = line;
    if (notice && !index.leftOut.empty()) *notice = LeftOutNotice(index.leftOut);
    const bool multiFrame =
        std::any_of(all.begin(), all.end(), [](const Slice& s) { return s.frames > 1; });
    if (multiFrame) {
        if (all.size() != 1)
            Fail("Die Serie mischt Dateien mit mehreren Bildern; das wird nicht unterstützt.");
        return OneFile(all.front().path, folder, out);
    }
    // The plan from the headers alone: which slices, in which order, at
    // what distance.
    std::vector<SliceHeader> headers;
    for (const Slice& s : all) headers.push_back(s.header);
    const SeriesPlan plan = PlanSeries(headers);
    std::vector<Slice> slices;
    for (std::size_t i : plan.order) slices.push_back(std::move(all[i]));
    const std::size_t n = slices.size();

    // The first file decides the pixel spacing; then every file is decoded
    // and resampled in position order, two at a time.
    Series series{folder,      std::move(slices), {plan.columns, plan.rows, std::int64_t(n)},
                  plan.rowDir, plan.colDir,       {},
                  {}};
    const Decoded head =
        Decode(series.slices.front().path, series.firstSamples, &series.slices.front().layout);
    const double spacing[3] = {PixelSpacing(head.spacing[0]), PixelSpacing(head.spacing[1]),
                               plan.step};
    series.voxelToWorld = VoxelToWorld(plan.rowDir, plan.colDir, plan.normal, spacing);
    // Uncompressed slices are read from the files as they lie, when the
    // decoder sees the first one as its header states (samples and
    // scaling) and the others state samples of the same kind: it would see
    // them alike. Each slice keeps the scaling its header states (CT
    // series vary the intercept from slice to slice).
    const DicomLayout& l = series.slices.front().layout;
    const bool native =
        AsStated(head, l) &&
        std::all_of(series.slices.begin(), series.slices.end(), [&](const Slice& s) {
            return s.layout.native && s.layout.bits == l.bits &&
                   s.layout.signedSamples == l.signedSamples;
        });
    if (native) return StreamNative(series, out, progress);
    return Stream(series, head, out, progress);
}

void FillDicomSeriesResult(const std::string& folder, DicomSeriesResult& result, int chosen) {
    try {
        std::string notice, line;
        const ConvertedVolume v = ReadDicomSeriesHere(
            folder, result.voxels,
            [&](int done, int total) {
                result.filesTotal.store(total, std::memory_order_relaxed);
                int seen = result.filesDone.load(
                    std::memory_order_relaxed);  // two threads report: keep the larger
                while (seen < done && !result.filesDone.compare_exchange_weak(
                                          seen, done, std::memory_order_relaxed)) {
                }
            },
            &notice, chosen, &line);
        std::snprintf(result.notice, sizeof result.notice, "%s", notice.c_str());
        std::snprintf(result.seriesLine, sizeof result.seriesLine, "%s", line.c_str());
        result.planes = v.planes;
        result.edge = v.voxelEdgeMm;
        result.status = 0;
    } catch (const std::bad_alloc&) {
        std::snprintf(result.message, sizeof result.message,
                      "Nicht genug Arbeitsspeicher für die DICOM-Serie (%s).", folder.c_str());
        result.status = 1;
    } catch (const SeveralVolumesError& e) {
        std::snprintf(result.message, sizeof result.message, "%s", e.what());
        result.status = 3;
    } catch (const std::exception& e) {
        std::snprintf(result.message, sizeof result.message, "%s", e.what());
        result.status = 1;
    }
}

void ConvertDicomSeries(
    const std::string& folder,
    const std::function<void(const std::uint8_t* voxels, int planes, double edge)>& use) {
    ConvertDicomSeriesApart(folder, use);
}

ConvertedVolume ConvertDicomSeries(const std::string& folder) {
    return ConvertDicomSeriesApart(folder);
}

}  // namespace zx
