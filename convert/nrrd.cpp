// NRRD as Teem documents it (format versions 1 to 5): a first line
// "NRRD000n", then "field: value" lines (and "key:=value" pairs, comments
// "#"), ended by an empty line before data in the same file, or by the end
// of a detached header that names its "data file". Read here: dimension,
// type, sizes, endian, encoding (raw, gzip), space and space directions or
// spacings, kinds, byte skip and line skip. World coordinates follow the
// header's space (RAS, LAS or LPS, scanner-xyz taken as RAS).
#include "convert/nrrd.h"

#include <array>
#include <cmath>
#include <map>
#include <memory>

#include "convert/input_file.h"
#include "convert/raw_image.h"
#include "convert/text_header.h"

namespace zx {
namespace {

[[noreturn]] void FailNrrd(const std::string& path, const std::string& reason) {
    FailFile(path, "ist eine NRRD-Datei, aber " + reason);
}

std::optional<SampleType> NrrdType(const std::string& t) {
    static const std::map<std::string, SampleType> types = {
        {"signed char", SampleType::Int8},
        {"int8", SampleType::Int8},
        {"int8_t", SampleType::Int8},
        {"uchar", SampleType::UInt8},
        {"unsigned char", SampleType::UInt8},
        {"uint8", SampleType::UInt8},
        {"uint8_t", SampleType::UInt8},
        {"short", SampleType::Int16},
        {"short int", SampleType::Int16},
        {"signed short", SampleType::Int16},
        {"signed short int", SampleType::Int16},
        {"int16", SampleType::Int16},
        {"int16_t", SampleType::Int16},
        {"ushort", SampleType::UInt16},
        {"unsigned short", SampleType::UInt16},
        {"unsigned short int", SampleType::UInt16},
        {"uint16", SampleType::UInt16},
        {"uint16_t", SampleType::UInt16},
        {"int", SampleType::Int32},
        {"signed int", SampleType::Int32},
        {"int32", SampleType::Int32},
        {"int32_t", SampleType::Int32},
        {"uint", SampleType::UInt32},
        {"unsigned int", SampleType::UInt32},
        {"uint32", SampleType::UInt32},
        {"uint32_t", SampleType::UInt32},
        {"float", SampleType::Float32},
        {"double", SampleType::Float64},
    };
    const auto it = types.find(t);
    if (it == types.end()) return std::nullopt;
    return it->second;
}

// "(1,0,0) (0,1.5,0) none": one vector or none per axis.
std::optional<std::vector<std::optional<std::array<double, 3>>>> Directions(const std::string& s,
                                                                            int space) {
    std::vector<std::optional<std::array<double, 3>>> out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (std::isspace(static_cast<unsigned char>(s[i]))) {
            ++i;
        } else if (s.compare(i, 4, "none") == 0) {
            out.emplace_back();
            i += 4;
        } else if (s[i] == '(') {
            const std::size_t close = s.find(')', i);
            if (close == std::string::npos) return std::nullopt;
            std::string inner = s.substr(i + 1, close - i - 1);
            for (char& c : inner)
                if (c == ',') c = ' ';
            const auto v = Numbers(inner);
            if (!v || int(v->size()) != space) return std::nullopt;
            std::array<double, 3> d{};
            for (int k = 0; k < space && k < 3; ++k) d[k] = (*v)[std::size_t(k)];
            out.push_back(d);
            i = close + 1;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

bool NonSpatialKind(const std::string& kind) {
    const std::string k = Lower(kind);
    return k != "domain" && k != "space" && k != "???" && k != "none";
}

}  // namespace

ConvertedVolume ConvertNrrd(const std::string& path, int volume) {
    const TextHeader text = ReadTextHeader(
        path, [](const std::string& line) { return line.empty(); }, "ist eine NRRD-Datei, aber ");
    if (text.lines.empty() || text.lines[0].rfind("NRRD000", 0) != 0)
        FailFile(path, "ist keine NRRD-Datei: ihre erste Zeile ist nicht „NRRD000…“");
    std::map<std::string, std::string> f;
    for (std::size_t i = 1; i < text.lines.size(); ++i) {
        const std::string& line = text.lines[i];
        if (line.empty() || line[0] == '#') continue;
        const std::size_t colon = line.find(": ");
        if (colon == std::string::npos) {
            if (line.find(":=") != std::string::npos) continue;  // a key/value pair
            FailNrrd(path, "ihre Kopfzeile " + std::to_string(i + 1) + " ist unlesbar");
        }
        f[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 2));
    }
    auto need = [&](const char* name, const char* what) -> const std::string& {
        const auto it = f.find(name);
        if (it == f.end()) FailNrrd(path, std::string("ihrem Dateikopf fehlt ") + what);
        return it->second;
    };
    const auto rank = WholeNumber(need("dimension", "die Zahl der Dimensionen"), 1, 16);
    if (!rank) FailNrrd(path, "ihre Zahl der Dimensionen ist ungültig");
    const auto type = NrrdType(need("type", "der Datentyp"));
    if (!type) FailNrrd(path, "ihr Datentyp „" + f["type"] + "“ wird nicht gelesen");
    std::vector<std::int64_t> sizes;
    for (const std::string& w : Words(need("sizes", "die Bildgröße"))) {
        const auto n = WholeNumber(w, 1, std::int64_t{1} << 40);
        if (!n) FailNrrd(path, "ihre Bildgröße „" + f["sizes"] + "“ ist ungültig");
        sizes.push_back(*n);
    }
    if (int(sizes.size()) != *rank) FailNrrd(path, "ihre Bildgröße passt nicht zur Dimension");

    // World space and each axis's direction.
    std::array<double, 3> sign = {1, 1, 1};  // to RAS
    int spaceDim = 3;
    if (f.count("space")) {
        const std::string s = Lower(f["space"]);
        if (s == "left-posterior-superior" || s == "lps")
            sign = {-1, -1, 1};
        else if (s == "left-anterior-superior" || s == "las")
            sign = {-1, 1, 1};
        else if (s != "right-anterior-superior" && s != "ras" && s != "scanner-xyz" &&
                 s != "3d-right-handed" && s != "3d-left-handed")
            FailNrrd(path, "ihr Raum „" + f["space"] + "“ ist kein dreidimensionaler Raum");
    } else if (f.count("space dimension")) {
        const auto d = WholeNumber(f["space dimension"], 1, 3);
        if (!d) FailNrrd(path, "ihr Raum hat mehr als drei Dimensionen");
        spaceDim = int(*d);
    }
    std::vector<std::optional<std::array<double, 3>>> dirs(sizes.size());
    std::vector<bool> spatial(sizes.size(), true);
    if (f.count("space directions")) {
        const auto d = Directions(f["space directions"], spaceDim);
        if (!d || d->size() != sizes.size()) FailNrrd(path, "ihre Achsenrichtungen sind unlesbar");
        dirs = *d;
        for (std::size_t a = 0; a < sizes.size(); ++a) spatial[a] = dirs[a].has_value();
    } else {
        std::vector<double> spacing(sizes.size(), 1.0);
        if (f.count("spacings")) {
            const std::vector<std::string> w = Words(f["spacings"]);
            for (std::size_t a = 0; a < w.size() && a < spacing.size(); ++a) {
                const auto v = Numbers(w[a]);
                if (v && v->size() == 1 && (*v)[0] != 0) spacing[a] = std::fabs((*v)[0]);
            }
        }
        if (f.count("kinds")) {
            const std::vector<std::string> k = Words(f["kinds"]);
            for (std::size_t a = 0; a < k.size() && a < spatial.size(); ++a)
                spatial[a] = !NonSpatialKind(k[a]);
        }
        int next = 0;
        for (std::size_t a = 0; a < sizes.size(); ++a) {
            if (!spatial[a]) continue;
            if (next == 3) {
                spatial[a] = false;  // beyond three spatial axes: volumes
                continue;
            }
            std::array<double, 3> d{};
            d[std::size_t(next++)] = spacing[a];
            dirs[a] = d;
        }
    }
    RawImage image;
    image.whatItIs = "ist eine NRRD-Datei, aber ";
    image.dims = {1, 1, 1};
    Matrix3 m{};
    int axis = 0;
    bool volumesSeen = false;
    for (std::size_t a = 0; a < sizes.size(); ++a) {
        if (spatial[a]) {
            if (volumesSeen && sizes[a] > 1)
                FailNrrd(path, "ihre räumlichen Achsen stehen nicht vor den übrigen");
            if (axis == 3) FailNrrd(path, "sie hat mehr als drei räumliche Achsen");
            image.dims[std::size_t(axis)] = sizes[a];
            for (int w = 0; w < 3; ++w)
                m[w][axis] = sign[std::size_t(w)] * (*dirs[a])[std::size_t(w)];
            ++axis;
        } else if (sizes[a] > 1) {
            if (axis == 0)
                FailNrrd(path,
                         "die Werte eines Voxels liegen beieinander (etwa Vektoren, Tensoren oder "
                         "Farben); gelesen werden Bilder, deren Volumen hintereinander liegen");
            volumesSeen = true;
            image.volumes *= std::uint64_t(sizes[a]);
            if (image.volumes > (std::uint64_t{1} << 40)) FailNrrd(path, "sie ist zu groß");
        }
    }
    if (axis == 0) FailNrrd(path, "sie enthält keine räumliche Achse, also kein Bild");
    // Axes the file lacks (a single slice, a row): 1 mm along the normal.
    for (int a = axis; a < 3; ++a) {
        std::array<double, 3> n{};
        if (a == 2 && axis == 2) {
            n = {m[1][0] * m[2][1] - m[2][0] * m[1][1], m[2][0] * m[0][1] - m[0][0] * m[2][1],
                 m[0][0] * m[1][1] - m[1][0] * m[0][1]};
            const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            if (len > 0)
                for (double& c : n) c /= len;
        }
        if (n == std::array<double, 3>{}) {
            for (int w = 0; w < 3; ++w) {
                bool used = false;
                for (int b = 0; b < a; ++b) used = used || m[w][b] != 0;
                if (!used) {
                    n[std::size_t(w)] = 1;
                    break;
                }
            }
        }
        for (int w = 0; w < 3; ++w) m[w][a] = n[std::size_t(w)];
    }
    image.voxelToWorld = m;
    image.type = *type;
    image.bigEndian = f.count("endian") && Lower(f["endian"]) == "big";

    const std::string encoding = Lower(need("encoding", "die Kodierung der Daten"));
    bool gzip = false;
    if (encoding == "gzip" || encoding == "gz")
        gzip = true;
    else if (encoding == "bzip2" || encoding == "bz2")
        FailNrrd(path, "mit bzip2 komprimiert; gelesen werden unkomprimierte und gzip-Daten");
    else if (encoding != "raw")
        FailNrrd(path, "ihre Daten sind als Text („" + encoding +
                           "“) gespeichert; gelesen werden unkomprimierte und gzip-Daten");

    std::string dataPath = path;
    std::uint64_t start = text.end;
    const std::string dataFile = f.count("data file") ? f["data file"] : f["datafile"];
    if (!dataFile.empty()) {
        if (dataFile.rfind("LIST", 0) == 0 || Words(dataFile).size() > 1)
            FailNrrd(path, "ihre Daten liegen in mehreren Dateien; gelesen wird eine Datendatei");
        dataPath = BesideHeader(path, dataFile);
        start = 0;
    } else if (!text.stopped) {
        FailNrrd(path, "ihr Dateikopf endet nicht mit einer Leerzeile vor den Daten");
    }
    if (f.count("line skip")) {
        const auto lines = WholeNumber(f["line skip"], 0, 1 << 20);
        if (!lines) FailNrrd(path, "ihr Zeilenvorschub vor den Daten ist ungültig");
        if (*lines > 0) {
            const TextHeader skipped = ReadTextHeader(
                dataPath,
                [&, n = std::int64_t{0}](const std::string&) mutable { return ++n == *lines; },
                "ist eine NRRD-Datei, aber vor ihren Daten ");
            start = skipped.end;
        }
    }
    std::int64_t byteSkip = 0;
    if (f.count("byte skip")) {
        const auto b = WholeNumber(f["byte skip"], -1, std::int64_t{1} << 40);
        if (!b) FailNrrd(path, "ihr Datenbeginn ist ungültig");
        byteSkip = *b;
    }
    StreamedInput in(
        dataPath, gzip ? StreamedInput::Packing::Deflated : StreamedInput::Packing::Plain, start);
    if (byteSkip == -1) {
        // The data are the file's last bytes.
        if (gzip) FailNrrd(path, "ihr Datenbeginn „-1“ gilt nur für unkomprimierte Daten");
        const double bytes =
            double(VolumeBytes(image.dims, SampleBytes(image.type), path)) * double(image.volumes);
        if (double(*in.PlainSize()) < bytes)
            FailNrrd(path, "die Datei enthält weniger Bilddaten als verlangt");
        image.dataOffset = *in.PlainSize() - std::uint64_t(bytes);
    } else {
        image.dataOffset = std::uint64_t(byteSkip);
    }
    return StreamRawImage(in, image, volume, path, gzip ? "NRRD (gzip)" : "NRRD");
}

}  // namespace zx
