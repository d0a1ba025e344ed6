// The index of a folder or CD, from two sides. The index text the reader
// program hands over reads back to the same text once written again. An
// index built from up to 64 made-up headers (a few series, orientations,
// sizes, image types and positions) names every file at most once, and
// its volumes are volumes.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "convert/series_index.h"
#include "fuzz_support.h"

namespace {

void TextRoundTrip(const std::string& text) {
    const std::vector<zx::IndexedSeries> index = zx::ParseIndex(text);
    const std::string once = zx::SerializeIndex(index);
    zxfuzz::Check(zx::ParseIndex(once).size() == index.size());
    zxfuzz::Check(zx::SerializeIndex(zx::ParseIndex(once)) == once);
    for (std::size_t i = 0; i < index.size() && i < 16; ++i)
        (void)zx::SeriesListLine(i + 1, index[i]);
    if (zx::VolumeCount(index) == 0 && !index.empty()) (void)zx::NoVolumeMessage(index);
}

void Build(FuzzedDataProvider& p) {
    static const char* kTypes[] = {"ORIGINAL\\PRIMARY\\AXIAL", "ORIGINAL\\PRIMARY\\LOCALIZER",
                                   "DERIVED\\SECONDARY\\MIP", ""};
    static const char* kClasses[] = {"1.2.840.10008.5.1.4.1.1.2", "1.2.840.10008.5.1.4.1.1.4",
                                     "1.2.840.10008.5.1.4.1.1.7", "1.2.840.10008.5.1.4.1.1.88.11"};
    static const double kOrientations[3][6] = {
        {1, 0, 0, 0, 1, 0}, {0, 1, 0, 0, 0, -1}, {1, 0, 0, 0, 0, -1}};
    std::vector<zx::DicomFileHeader> files(p.ConsumeIntegralInRange<std::size_t>(0, 64));
    for (zx::DicomFileHeader& h : files) {
        h.name = "f";
        h.seriesUid = std::string("1.2.") + char('0' + p.ConsumeIntegralInRange(0, 3));
        h.seriesNumber = std::to_string(p.ConsumeIntegralInRange(0, 3));
        h.modality = p.ConsumeBool() ? "CT" : "MR";
        h.rows = p.ConsumeIntegralInRange(0u, 3u) * 16;
        h.columns = p.ConsumeBool() ? h.rows : 24;
        h.hasImage = h.rows > 0 && p.ConsumeIntegralInRange(0, 7) != 0;
        h.imageType = kTypes[p.ConsumeIntegralInRange(0, 3)];
        h.sopClass = kClasses[p.ConsumeIntegralInRange(0, 3)];
        h.frames = p.ConsumeIntegralInRange(0, 7) == 0 ? p.ConsumeIntegralInRange(-1, 300) : 1;
        if (p.ConsumeIntegralInRange(0, 7) != 0) {
            const double* o = kOrientations[p.ConsumeIntegralInRange(0, 2)];
            h.orientation.assign(o, o + 6);
        }
        if (p.ConsumeIntegralInRange(0, 7) != 0) {
            const int step = p.ConsumeIntegralInRange(-8, 8);
            h.position = {0, 0,
                          step * p.ConsumeIntegralInRange(0, 70) +
                              (p.ConsumeBool() ? 0.0 : p.ConsumeFloatingPoint<double>())};
        }
        h.pixelSpacing[0] = h.pixelSpacing[1] = p.ConsumeIntegralInRange(0, 3) * 0.5;
    }
    const std::vector<zx::IndexedSeries> index = zx::BuildSeriesIndex(files);
    std::vector<bool> named(files.size(), false);
    for (const zx::IndexedSeries& s : index) {
        for (std::size_t f : s.files) {
            zxfuzz::Check(f < files.size() && !named[f]);
            named[f] = true;
        }
        if (s.kind == zx::SeriesKind::Volume)
            zxfuzz::Check(s.reason.empty() && !s.files.empty() &&
                          (s.files.size() >= 2 || files[s.files[0]].frames > 1));
    }
    TextRoundTrip(zx::SerializeIndex(index));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        TextRoundTrip(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    } else {
        FuzzedDataProvider p(data + 1, size - 1);
        Build(p);
    }
    return 0;
}
