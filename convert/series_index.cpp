#include "convert/series_index.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <tuple>

#include "convert/converted_volume.h"

namespace zx {
namespace {

// A part of a series with several orientations counts as a localiser
// when it holds no more slices than this.
constexpr std::size_t kFewSlices = 5;

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool Has(const std::string& text, const char* word) {
    return Upper(text).find(word) != std::string::npos;
}

/// By Image Type, or by the words scanners put into the description.
bool IsLocalizer(const DicomFileHeader& h) {
    if (Has(h.imageType, "LOCALIZER") || Has(h.imageType, "SCOUT")) return true;
    for (const char* word : {"LOCALIZER", "LOCALISER", "SCOUT", "SURVEY", "PILOT", "TOPOGRAM"})
        if (Has(h.seriesDescription, word)) return true;
    return false;
}

/// MIPs, projections, secondary captures (screen pictures) and pictures
/// the header calls secondary.
bool IsDerived(const DicomFileHeader& h) {
    const std::string type = Upper(h.imageType);
    return h.sopClass.rfind("1.2.840.10008.5.1.4.1.1.7", 0) == 0 ||
           type.rfind("SECONDARY", 0) == 0 || Has(type, "MIP") || Has(type, "PROJECTION") ||
           Has(type, "MAXIP") || Has(type, "MINIP");
}

/// The orientation rounded, as a key: slices of one key are of one
/// orientation.
std::string OrientationKey(const SliceHeader& h) {
    std::string key;
    char buf[32];
    for (double c : h.orientation) {
        std::snprintf(buf, sizeof buf, "%.2f,", c + 0.0);
        key += std::string(buf) == "-0.00," ? "0.00," : buf;
    }
    return key;
}

struct Part {
    std::string orientation;
    std::vector<std::size_t> files;
};

IndexedSeries Entry(const std::vector<DicomFileHeader>& all, std::vector<std::size_t> files,
                    SeriesKind kind, std::string reason) {
    IndexedSeries s;
    const DicomFileHeader& h = all[files.front()];
    s.kind = kind;
    s.reason = std::move(reason);
    s.patient = h.patient;
    s.studyDate = h.studyDate;
    s.studyDescription = h.studyDescription;
    s.seriesNumber = h.seriesNumber;
    s.seriesDescription = h.seriesDescription;
    s.modality = h.modality;
    s.seriesUid = h.seriesUid;
    s.rows = h.rows;
    s.columns = h.columns;
    s.pixelSpacing[0] = h.pixelSpacing[0];
    s.pixelSpacing[1] = h.pixelSpacing[1];
    for (std::size_t i : files) s.images += int(std::max(1L, all[i].frames));
    s.files = std::move(files);
    return s;
}

const char* Reason(SeriesKind kind) {
    switch (kind) {
        case SeriesKind::Localizer:
            return "Lokalisierer (Übersichtsaufnahme), kein Volumen";
        case SeriesKind::Single:
            return "Die Serie hat nur eine Schicht; das ist kein Volumen.";
        case SeriesKind::Derived:
            return "abgeleitetes Bild (MIP, Projektion, Bildschirmfoto), kein Volumen";
        case SeriesKind::NoImage:
            return "enthält keine Bilddaten (Bericht, RT-Objekt)";
        default:
            return "";
    }
}

/// The entries of one series (files all of one Series Instance UID).
void IndexOneSeries(const std::vector<DicomFileHeader>& all,
                    const std::vector<std::size_t>& members, std::vector<IndexedSeries>& out) {
    std::vector<std::size_t> noImage;
    std::vector<Part> parts;
    std::map<std::tuple<std::string, unsigned, unsigned, std::string, std::size_t>, std::size_t>
        byKey;
    std::map<std::string, int> orientations;
    for (std::size_t i : members) {
        const DicomFileHeader& h = all[i];
        if (!h.hasImage) {
            noImage.push_back(i);
            continue;
        }
        // A file of several frames is a part of its own.
        const std::size_t own = h.frames > 1 ? i + 1 : 0;
        const auto key = std::make_tuple(OrientationKey(h), h.rows, h.columns, h.imageType, own);
        auto [it, added] = byKey.emplace(key, parts.size());
        if (added) parts.push_back({std::get<0>(key), {}});
        parts[it->second].files.push_back(i);
        ++orientations[std::get<0>(key)];
    }
    std::map<SeriesKind, std::vector<std::size_t>> merged;  // non-volumes of one kind
    for (Part& p : parts) {
        const DicomFileHeader& first = all[p.files.front()];
        SeriesKind kind = SeriesKind::Volume;
        std::string reason;
        if (IsLocalizer(first)) {
            kind = SeriesKind::Localizer;
        } else if (IsDerived(first)) {
            kind = SeriesKind::Derived;
        } else if (orientations.size() > 1 && p.files.size() <= kFewSlices && first.frames <= 1) {
            kind = SeriesKind::Localizer;
        } else if (first.frames > 1) {
            kind = SeriesKind::Volume;
        } else if (p.files.size() == 1) {
            kind = SeriesKind::Single;
        } else {
            std::vector<SliceHeader> slices(p.files.size());
            for (std::size_t k = 0; k < p.files.size(); ++k) slices[k] = all[p.files[k]];
            try {
                const SeriesPlan plan = PlanSeries(slices);
                IndexedSeries e = Entry(all, p.files, kind, {});
                e.step = plan.step;
                e.images = int(plan.order.size());
                out.push_back(std::move(e));
                continue;
            } catch (const ConvertError& error) {
                kind = SeriesKind::Irregular;
                reason = error.what();
            }
        }
        if (kind == SeriesKind::Volume) {
            out.push_back(Entry(all, p.files, kind, {}));
        } else if (kind == SeriesKind::Irregular) {
            out.push_back(Entry(all, p.files, kind, reason));
        } else {
            auto& files = merged[kind];
            files.insert(files.end(), p.files.begin(), p.files.end());
        }
    }
    if (!noImage.empty()) merged[SeriesKind::NoImage] = noImage;
    for (auto& [kind, files] : merged) {
        std::sort(files.begin(), files.end());
        out.push_back(Entry(all, files, kind, Reason(kind)));
    }
}

std::string Clean(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

/// Singular and plural of a kind, for the summary.
std::string Counted(SeriesKind kind, int n) {
    const bool one = n == 1;
    const char* word = "";
    switch (kind) {
        case SeriesKind::Volume:
            word = "Volumen";
            break;
        case SeriesKind::Localizer:
            word = "Lokalisierer";
            break;
        case SeriesKind::Single:
            word = one ? "Einzelbild" : "Einzelbilder";
            break;
        case SeriesKind::Derived:
            word = one ? "abgeleitetes Bild" : "abgeleitete Bilder";
            break;
        case SeriesKind::NoImage:
            word = one ? "Serie ohne Bild" : "Serien ohne Bild";
            break;
        case SeriesKind::Irregular:
            word = one ? "unregelmäßige Serie" : "unregelmäßige Serien";
            break;
    }
    return std::to_string(n) + " " + word;
}

}  // namespace

std::vector<IndexedSeries> BuildSeriesIndex(const std::vector<DicomFileHeader>& files) {
    std::vector<SliceHeader> slices(files.begin(), files.end());
    std::vector<IndexedSeries> index;
    for (const auto& [uid, members] : GroupBySeries(slices)) IndexOneSeries(files, members, index);
    std::stable_sort(
        index.begin(), index.end(), [](const IndexedSeries& a, const IndexedSeries& b) {
            const long na = std::atol(a.seriesNumber.c_str()),
                       nb = std::atol(b.seriesNumber.c_str());
            return std::tie(a.patient, a.studyDate, na) < std::tie(b.patient, b.studyDate, nb);
        });
    return index;
}

std::string KindWord(SeriesKind kind) {
    switch (kind) {
        case SeriesKind::Volume:
            return "Volumen";
        case SeriesKind::Localizer:
            return "Lokalisierer";
        case SeriesKind::Single:
            return "Einzelbild";
        case SeriesKind::Derived:
            return "abgeleitetes Bild";
        case SeriesKind::NoImage:
            return "ohne Bild";
        case SeriesKind::Irregular:
            return "unregelmäßige Serie";
    }
    return {};
}

std::string SeriesListLine(std::size_t index, const IndexedSeries& s) {
    const std::string size =
        s.rows ? std::to_string(s.columns) + "x" + std::to_string(s.rows) : std::string("-");
    return std::to_string(index) + "\t" + Clean(s.modality) + "\t" + Clean(s.seriesNumber) + "\t" +
           Clean(s.seriesDescription) + "\t" + std::to_string(s.images) + "\t" + size + "\t" +
           KindWord(s.kind);
}

std::size_t VolumeCount(const std::vector<IndexedSeries>& index) {
    return std::size_t(std::count_if(index.begin(), index.end(), [](const IndexedSeries& s) {
        return s.kind == SeriesKind::Volume;
    }));
}

std::string NoVolumeMessage(const std::vector<IndexedSeries>& index) {
    if (index.size() == 1) return index.front().reason;
    std::map<SeriesKind, int> counts;
    for (const IndexedSeries& s : index) ++counts[s.kind];
    std::string text =
        std::to_string(index.size()) + " Serien gefunden, keine davon ist ein Volumen";
    const char* sep = ": ";
    for (const auto& [kind, n] : counts) {
        text += sep + Counted(kind, n);
        sep = ", ";
    }
    return text + ".";
}

std::string SerializeIndex(const std::vector<IndexedSeries>& index) {
    std::ostringstream out;
    out.precision(17);
    for (const IndexedSeries& s : index) {
        out << int(s.kind) << '\t' << s.rows << '\t' << s.columns << '\t' << s.images << '\t'
            << s.pixelSpacing[0] << '\t' << s.pixelSpacing[1] << '\t' << s.step;
        for (const std::string* t :
             {&s.reason, &s.patient, &s.studyDate, &s.studyDescription, &s.seriesNumber,
              &s.seriesDescription, &s.modality, &s.seriesUid})
            out << '\t' << Clean(*t);
        out << '\n';
    }
    return out.str();
}

std::vector<IndexedSeries> ParseIndex(const std::string& text) {
    std::vector<IndexedSeries> index;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            f.push_back(line.substr(start, tab - start));
        f.push_back(line.substr(start));
        if (f.size() != 15) continue;
        IndexedSeries s;
        const int kind = std::atoi(f[0].c_str());
        if (kind < 0 || kind > int(SeriesKind::Irregular)) continue;
        s.kind = SeriesKind(kind);
        s.rows = unsigned(std::strtoul(f[1].c_str(), nullptr, 10));
        s.columns = unsigned(std::strtoul(f[2].c_str(), nullptr, 10));
        s.images = std::atoi(f[3].c_str());
        s.pixelSpacing[0] = std::strtod(f[4].c_str(), nullptr);
        s.pixelSpacing[1] = std::strtod(f[5].c_str(), nullptr);
        s.step = std::strtod(f[6].c_str(), nullptr);
        std::string* texts[] = {&s.reason,           &s.patient,      &s.studyDate,
                                &s.studyDescription, &s.seriesNumber, &s.seriesDescription,
                                &s.modality,         &s.seriesUid};
        for (std::size_t k = 0; k < 8; ++k) *texts[k] = f[7 + k];
        index.push_back(std::move(s));
    }
    return index;
}

}  // namespace zx
