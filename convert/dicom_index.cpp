#include "convert/dicom_index.h"

#include <gdcmReader.h>
#include <gdcmScanner.h>
#include <gdcmSequenceOfItems.h>
#include <gdcmTrace.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>

#include "convert/converted_volume.h"
#include "convert/dicom_result.h"
#include "convert/dicom_series.h"
#include "convert/two_threads.h"

namespace zx {
namespace {

namespace fs = std::filesystem;

// A patient CD nests patient, study and series folders, some a few more;
// deeper than this is no CD layout.
constexpr int kMaxDepth = 16;
// More files than any CD holds: the search stops there instead of walking
// a whole disk.
constexpr std::size_t kMaxFiles = 200000;

[[noreturn]] void Fail(const std::string& text) { throw ConvertError(text); }

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool IsDicomdirName(const fs::path& p) { return Upper(p.filename().string()) == "DICOMDIR"; }

/// The regular files below `dir`, each folder visited once.
void Search(const fs::path& dir, int depth, std::set<std::pair<dev_t, ino_t>>& seen,
            std::vector<std::string>& files) {
    struct stat st {};
    if (depth > kMaxDepth || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    if (!seen.insert({st.st_dev, st.st_ino}).second) return;  // a link back up
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    for (const fs::path& e : entries) {
        if (files.size() >= kMaxFiles) return;
        if (::stat(e.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            Search(e, depth + 1, seen, files);
        } else if (S_ISREG(st.st_mode) && !IsDicomdirName(e)) {
            files.push_back(e.string());
        }
    }
}

/// `component` inside `dir`: as written, or in another letter case (CDs
/// name their files in capitals, copies often in small letters).
std::optional<fs::path> Child(const fs::path& dir, const std::string& component) {
    std::error_code ec;
    if (fs::exists(dir / component, ec)) return dir / component;
    const std::string wanted = Upper(component);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (Upper(it->path().filename().string()) == wanted) return it->path();
    return std::nullopt;
}

/// The files the records of a DICOMDIR reference; empty when the
/// DICOMDIR cannot be read or a reference is unsound (outside its folder,
/// or missing).
std::vector<std::string> DicomdirFiles(const std::string& path) {
    try {
        CheckDicomFile(path, fs::path(path).filename().string());
    } catch (const ConvertError&) {
        return {};
    }
    gdcm::Reader reader;
    reader.SetFileName(path.c_str());
    if (!reader.Read()) return {};
    const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
    const gdcm::Tag records(0x0004, 0x1220), fileId(0x0004, 0x1500);
    if (!ds.FindDataElement(records)) return {};
    const gdcm::SmartPointer<gdcm::SequenceOfItems> sq = ds.GetDataElement(records).GetValueAsSQ();
    if (!sq) return {};
    const fs::path root = fs::path(path).parent_path();
    std::vector<std::string> files;
    for (gdcm::SequenceOfItems::SizeType i = 1; i <= sq->GetNumberOfItems(); ++i) {
        const gdcm::DataSet& item = sq->GetItem(i).GetNestedDataSet();
        if (!item.FindDataElement(fileId)) continue;
        const gdcm::ByteValue* bv = item.GetDataElement(fileId).GetByteValue();
        if (!bv) return {};
        std::string id(bv->GetPointer(), bv->GetLength());
        while (!id.empty() && (id.back() == ' ' || id.back() == '\0')) id.pop_back();
        fs::path at = root;
        std::size_t start = 0;
        for (;;) {
            const std::size_t sep = id.find('\\', start);
            const std::string part = id.substr(start, sep - start);
            if (part.empty() || part == "." || part == "..") return {};
            const auto child = Child(at, part);
            if (!child) return {};
            at = *child;
            if (sep == std::string::npos) break;
            start = sep + 1;
        }
        struct stat st {};
        if (::stat(at.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
        files.push_back(at.string());
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

std::vector<double> Numbers(const char* text) {
    std::vector<double> v;
    if (!text) return v;
    std::string item;
    for (const char* c = text;; ++c) {
        if (*c == '\\' || *c == 0) {
            char* end = nullptr;
            const double x = std::strtod(item.c_str(), &end);
            v.push_back(end != item.c_str() ? x : std::nan(""));
            item.clear();
            if (*c == 0) break;
        } else {
            item += *c;
        }
    }
    return v;
}

std::string Text(const gdcm::Scanner& s, const std::string& file, const gdcm::Tag& t) {
    const char* v = s.GetValue(file.c_str(), t);
    std::string text = v ? v : "";
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    while (!text.empty() && text.front() == ' ') text.erase(0, 1);
    return text;
}

/// "20240131" as "31.01.2024"; other texts as they are.
std::string GermanDate(const std::string& d) {
    if (d.size() != 8 || !std::all_of(d.begin(), d.end(), ::isdigit)) return d;
    return d.substr(6, 2) + "." + d.substr(4, 2) + "." + d.substr(0, 4);
}

const gdcm::Tag kSeriesUid(0x0020, 0x000e), kRows(0x0028, 0x0010), kColumns(0x0028, 0x0011),
    kFrames(0x0028, 0x0008), kPosition(0x0020, 0x0032), kOrientation(0x0020, 0x0037),
    kPatient(0x0010, 0x0010), kStudyDate(0x0008, 0x0020), kStudyDescription(0x0008, 0x1030),
    kSeriesNumber(0x0020, 0x0011), kSeriesDescription(0x0008, 0x103e), kModality(0x0008, 0x0060),
    kImageType(0x0008, 0x0008), kSopClass(0x0008, 0x0016), kPixelSpacing(0x0028, 0x0030),
    kMediaStorage(0x0002, 0x0002);

/// Media Storage Directory: a DICOMDIR under another name.
constexpr char kDirectoryClass[] = "1.2.840.10008.1.3.10";

/// Modalities of objects that hold no picture.
bool NoPictureModality(const std::string& m) {
    for (const char* n : {"SR", "KO", "PR", "DOC", "RTSTRUCT", "RTPLAN", "RTRECORD", "REG", "SEG"})
        if (m == n) return true;
    return false;
}

DicomFileHeader Header(const gdcm::Scanner& s, const std::string& f, const std::string& name,
                       const DicomLayout& layout) {
    DicomFileHeader h;
    h.name = name;
    h.seriesUid = Text(s, f, kSeriesUid);
    h.rows = unsigned(std::atol(Text(s, f, kRows).c_str()));
    h.columns = unsigned(std::atol(Text(s, f, kColumns).c_str()));
    h.frames = std::max(1L, std::atol(Text(s, f, kFrames).c_str()));
    h.position = Numbers(s.GetValue(f.c_str(), kPosition));
    h.orientation = Numbers(s.GetValue(f.c_str(), kOrientation));
    h.patient = Text(s, f, kPatient);
    std::replace(h.patient.begin(), h.patient.end(), '^', ' ');
    while (!h.patient.empty() && h.patient.back() == ' ') h.patient.pop_back();
    h.studyDate = GermanDate(Text(s, f, kStudyDate));
    h.studyDescription = Text(s, f, kStudyDescription);
    h.seriesNumber = Text(s, f, kSeriesNumber);
    h.seriesDescription = Text(s, f, kSeriesDescription);
    h.modality = Text(s, f, kModality);
    h.imageType = Text(s, f, kImageType);
    h.sopClass = Text(s, f, kSopClass);
    const std::vector<double> spacing = Numbers(s.GetValue(f.c_str(), kPixelSpacing));
    for (std::size_t k = 0; k < 2 && k < spacing.size(); ++k)
        h.pixelSpacing[k] = std::isfinite(spacing[k]) ? spacing[k] : 0;
    h.hasImage = h.rows > 0 && h.columns > 0 && layout.pixelData && !NoPictureModality(h.modality);
    return h;
}

}  // namespace

std::vector<std::string> FindDicomFiles(const std::string& path) {
    struct stat st {};
    const bool isFile = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (isFile) {
        std::vector<std::string> files = DicomdirFiles(path);
        if (!files.empty()) return files;
    } else if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        Fail("Der Ordner " + path + " existiert nicht.");
    }
    // A folder, or the folder of a DICOMDIR whose records are unsound.
    const fs::path root = isFile ? fs::path(path).parent_path() : fs::path(path);
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<std::string> files;
    Search(root.empty() ? fs::path(".") : root, 0, seen, files);
    if (files.empty()) Fail("Der Ordner " + root.string() + " ist leer.");
    return files;
}

DicomIndex IndexDicom(const std::string& path, const IndexProgress& progress) {
    DicomIndex index;
    std::vector<std::string> files = FindDicomFiles(path);
    struct stat st {};
    const bool isFile = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    index.root = isFile ? fs::path(path).parent_path().string() : path;
    auto relative = [&](const std::string& f) {
        const fs::path r = fs::path(f).lexically_relative(index.root);
        return r.empty() || *r.begin() == ".." ? fs::path(f).filename().string() : r.string();
    };
    // The scanner, too, allocates what a header declares, and ends the
    // process on a file that holds nothing after its preamble: lengths are
    // checked first, and only files with a data set are scanned. DICOM
    // files (by their preamble) that are damaged or empty are left out and
    // named; other files are no DICOM and left out silently.
    //
    // Two threads check the files, then scan every other usable one each,
    // with a scanner of its own; the results are taken in the files' order.
    struct Checked {
        bool usable = false, named = false;
        DicomLayout layout;
        std::string damage;
    };
    std::vector<Checked> checked(files.size());
    gdcm::Trace::WarningOff();  // files that are no DICOM are expected here
    gdcm::Scanner scanners[2];
    std::vector<std::string> shares[2];
    for (gdcm::Scanner& scanner : scanners) {
        for (const gdcm::Tag& t :
             {kSeriesUid, kRows, kColumns, kFrames, kPosition, kOrientation, kPatient, kStudyDate,
              kStudyDescription, kSeriesNumber, kSeriesDescription, kModality, kImageType,
              kSopClass, kPixelSpacing, kMediaStorage})
            scanner.AddTag(t);
    }
    const int total = int(files.size());
    std::atomic<int> done{0};
    OnTwoThreads(files.size(), [&](std::size_t i, int thread) {
        const std::string& f = files[i];
        const std::string name = fs::path(f).filename().string();
        Checked& c = checked[i];
        c.damage = "Die DICOM-Datei " + name + " ist leer.";
        try {
            c.layout = CheckDicomFile(f, name);
            c.usable = c.layout.dataSet;
        } catch (const ConvertError& e) {
            c.damage = e.what();
        }
        c.named = !c.usable && HasDicomPreamble(f);
        const int n = ++done;
        if (progress && thread == 0 && n % 16 == 0) progress(n, total);  // the caller's thread
    });
    if (progress && total > 0) progress(total, total);
    std::vector<std::string> usable;
    std::vector<DicomLayout> layouts;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Checked& c = checked[i];
        if (c.usable) {
            usable.push_back(files[i]);
            layouts.push_back(c.layout);
        } else if (c.named) {
            index.leftOut.push_back(relative(files[i]));
            if (index.firstDamage.empty()) index.firstDamage = c.damage;
        }
    }
    for (std::size_t i = 0; i < usable.size(); ++i) shares[i % 2].push_back(usable[i]);
    OnTwoThreads(2, [&](std::size_t k, int) { scanners[k].Scan(shares[k]); });
    std::vector<DicomFileHeader> headers;
    for (std::size_t i = 0; i < usable.size(); ++i) {
        const gdcm::Scanner& scanner = scanners[i % 2];
        if (!scanner.IsKey(usable[i].c_str())) continue;  // no DICOM file
        if (Text(scanner, usable[i], kMediaStorage) == kDirectoryClass) continue;
        IndexedFile file{usable[i], layouts[i],
                         Header(scanner, usable[i], relative(usable[i]), layouts[i])};
        file.header.name = fs::path(usable[i]).filename().string();
        headers.push_back(file.header);
        index.files.push_back(std::move(file));
    }
    index.series = BuildSeriesIndex(headers);
    return index;
}

std::string LeftOutNotice(const std::vector<std::string>& names) {
    constexpr std::size_t kNamed = 5;
    std::string text = names.size() == 1 ? "Eine beschädigte oder leere DICOM-Datei wurde "
                                           "übergangen: "
                                         : std::to_string(names.size()) +
                                               " beschädigte oder leere DICOM-Dateien wurden "
                                               "übergangen: ";
    for (std::size_t i = 0; i < names.size() && i < kNamed; ++i) text += (i ? ", " : "") + names[i];
    if (names.size() > kNamed) text += " und " + std::to_string(names.size() - kNamed) + " weitere";
    return text + ".";
}

void SeriesThumbnail(const DicomIndex& index, const IndexedSeries& s, std::uint8_t* out) {
    constexpr int n = kThumbnailSide;
    std::fill(out, out + n * n, std::uint8_t(0));
    if (s.kind == SeriesKind::NoImage || s.files.empty() || s.rows == 0 || s.columns == 0) return;
    const IndexedFile& file = index.files[s.files[s.files.size() / 2]];
    // A thumbnail is worth no large allocation (all frames are decoded):
    // large multi-frame files stay black.
    constexpr double kMaxSamples = 16 << 20;
    if (double(file.header.frames) * s.rows * s.columns > kMaxSamples) return;
    std::vector<double> samples;
    try {
        samples = DicomFileSamples(file.path);
    } catch (const std::exception&) {
        return;
    }
    const std::size_t rows = s.rows, columns = s.columns, plane = rows * columns;
    if (samples.size() < plane) return;
    // The middle frame of a multi-frame file.
    const std::size_t frame = (samples.size() / plane) / 2;
    const double* image = samples.data() + frame * plane;
    std::vector<double> sorted(image, image + plane);
    const auto at = [&](double q) {
        auto k = sorted.begin() + std::ptrdiff_t(q * double(plane - 1));
        std::nth_element(sorted.begin(), k, sorted.end());
        return *k;
    };
    const double low = at(0.01), high = at(0.99);
    const double range = high > low ? high - low : 1;
    const double scale = double(n) / double(std::max(rows, columns));
    const int w = std::max(1, int(double(columns) * scale)),
              h = std::max(1, int(double(rows) * scale));
    const int x0 = (n - w) / 2, y0 = (n - h) / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t r = std::min(rows - 1, std::size_t(double(y) / scale));
            const std::size_t c = std::min(columns - 1, std::size_t(double(x) / scale));
            const double g = 255.0 * (image[r * columns + c] - low) / range;
            out[(y0 + y) * n + x0 + x] = std::uint8_t(std::clamp(g, 0.0, 255.0));
        }
}

void FillDicomIndexResult(const std::string& path, DicomSeriesResult& result) {
    static_assert(kThumbnailSide * kThumbnailSide == 4096);
    try {
        const DicomIndex index = IndexDicom(path, [&](int done, int total) {
            result.filesTotal.store(total, std::memory_order_relaxed);
            result.filesDone.store(done, std::memory_order_relaxed);
        });
        const std::string text = SerializeIndex(index.series);
        if (text.size() >= kIndexTextBytes)
            Fail("Der Ordner " + path + " enthält zu viele Serien.");
        std::memcpy(result.voxels, text.c_str(), text.size() + 1);
        if (!index.leftOut.empty())
            std::snprintf(result.notice, sizeof result.notice, "%s",
                          LeftOutNotice(index.leftOut).c_str());
        if (index.series.empty())
            Fail(index.firstDamage.empty()
                     ? "Der Ordner " + index.root + " enthält keine DICOM-Bilder."
                     : index.firstDamage);
        result.planes = int(index.series.size());
        result.edge = 1;
        // The index is complete: a decoder that ends the process on a
        // damaged file while the thumbnails are made costs only those.
        result.thumbnails.store(0, std::memory_order_release);
        std::atomic_thread_fence(std::memory_order_release);
        result.status = 0;
        for (std::size_t i = 0; i < index.series.size() && i < kMaxIndexThumbnails; ++i) {
            SeriesThumbnail(index, index.series[i], result.voxels + kIndexTextBytes + i * 4096);
            result.thumbnails.store(int(i) + 1, std::memory_order_release);
        }
    } catch (const std::bad_alloc&) {
        std::snprintf(result.message, sizeof result.message,
                      "Nicht genug Arbeitsspeicher für die DICOM-Serie (%s).", path.c_str());
        result.status = 1;
    } catch (const std::exception& e) {
        std::snprintf(result.message, sizeof result.message, "%s", e.what());
        result.status = 1;
    }
}

}  // namespace zx
