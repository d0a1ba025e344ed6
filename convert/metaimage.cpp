// MetaImage headers as ITK's MetaIO writes them: "Key = Value" lines, the
// last one ElementDataFile (LOCAL: the data follow in the same file). Read
// here: NDims, DimSize, ElementType (MET_UCHAR, MET_CHAR, MET_SHORT,
// MET_USHORT, MET_INT, MET_UINT, MET_FLOAT, MET_DOUBLE), ElementSpacing,
// TransformMatrix (Rotation, Orientation), the byte order, CompressedData
// (zlib), HeaderSize and a single channel. TransformMatrix holds, N numbers
// each, the direction of every array axis in ITK's world, which is LPS;
// the offset only moves the image and does not matter for the viewer's grid.
#include "convert/metaimage.h"

#include <array>
#include <map>

#include "convert/input_file.h"
#include "convert/raw_image.h"
#include "convert/text_header.h"

namespace zx {
namespace {

[[noreturn]] void FailMeta(const std::string& path, const std::string& reason) {
    FailFile(path, "ist eine MetaImage-Datei, aber " + reason);
}

std::optional<SampleType> MetaType(const std::string& t) {
    static const std::map<std::string, SampleType> types = {
        {"MET_UCHAR", SampleType::UInt8},   {"MET_CHAR", SampleType::Int8},
        {"MET_SHORT", SampleType::Int16},   {"MET_USHORT", SampleType::UInt16},
        {"MET_INT", SampleType::Int32},     {"MET_UINT", SampleType::UInt32},
        {"MET_FLOAT", SampleType::Float32}, {"MET_DOUBLE", SampleType::Float64},
    };
    const auto it = types.find(t);
    if (it == types.end()) return std::nullopt;
    return it->second;
}

bool IsTrue(const std::string& v) {
    const std::string l = Lower(v);
    return l == "true" || l == "1" || l == "yes";
}

}  // namespace

ConvertedVolume ConvertMetaImage(const std::string& path, int volume) {
    const TextHeader text = ReadTextHeader(
        path, [](const std::string& line) { return Trim(line).rfind("ElementDataFile", 0) == 0; },
        "ist eine MetaImage-Datei, aber ");
    std::map<std::string, std::string> f;
    for (const std::string& line : text.lines) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        f[Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
    }
    auto need = [&](const char* name, const char* what) -> const std::string& {
        const auto it = f.find(name);
        if (it == f.end()) FailMeta(path, std::string("ihrem Dateikopf fehlt ") + what);
        return it->second;
    };
    if (f.count("ObjectType") && f["ObjectType"] != "Image")
        FailMeta(path, "sie enthält kein Bild, sondern „" + f["ObjectType"] + "“");
    const auto rank = WholeNumber(need("NDims", "die Zahl der Dimensionen"), 1, 16);
    if (!rank) FailMeta(path, "ihre Zahl der Dimensionen ist ungültig");
    const int n = int(*rank);
    std::vector<std::int64_t> sizes;
    for (const std::string& w : Words(need("DimSize", "die Bildgröße"))) {
        const auto v = WholeNumber(w, 1, std::int64_t{1} << 40);
        if (!v) FailMeta(path, "ihre Bildgröße „" + f["DimSize"] + "“ ist ungültig");
        sizes.push_back(*v);
    }
    if (int(sizes.size()) != n) FailMeta(path, "ihre Bildgröße passt nicht zur Dimension");
    const auto type = MetaType(need("ElementType", "der Datentyp"));
    if (!type) FailMeta(path, "ihr Datentyp „" + f["ElementType"] + "“ wird nicht gelesen");
    if (f.count("ElementNumberOfChannels") &&
        WholeNumber(f["ElementNumberOfChannels"], 1, 1) == std::nullopt)
        FailMeta(path,
                 "ihre Voxel haben mehrere Werte (Kanäle); gelesen werden Bilder mit einem Wert "
                 "je Voxel");
    if (f.count("BinaryData") && !IsTrue(f["BinaryData"]))
        FailMeta(path, "ihre Daten sind als Text gespeichert; gelesen werden binäre Daten");

    RawImage image;
    image.whatItIs = "ist eine MetaImage-Datei, aber ";
    image.dims = {1, 1, 1};
    for (int a = 0; a < n && a < 3; ++a) image.dims[std::size_t(a)] = sizes[std::size_t(a)];
    for (int a = 3; a < n; ++a) {
        image.volumes *= std::uint64_t(sizes[std::size_t(a)]);
        if (image.volumes > (std::uint64_t{1} << 40)) FailMeta(path, "sie ist zu groß");
    }
    std::array<double, 3> spacing = {1, 1, 1};
    const std::string spacingKey = f.count("ElementSpacing") ? "ElementSpacing" : "ElementSize";
    if (f.count(spacingKey)) {
        const auto v = Numbers(f[spacingKey]);
        if (!v || int(v->size()) < std::min(n, 3)) FailMeta(path, "ihre Voxelgröße ist unlesbar");
        for (int a = 0; a < n && a < 3; ++a)
            if ((*v)[std::size_t(a)] != 0) spacing[std::size_t(a)] = std::abs((*v)[std::size_t(a)]);
    }
    Matrix3 direction{};
    for (int a = 0; a < 3; ++a) direction[std::size_t(a)][std::size_t(a)] = 1;
    for (const char* key : {"TransformMatrix", "Rotation", "Orientation"}) {
        if (!f.count(key)) continue;
        const auto v = Numbers(f[key]);
        if (!v || int(v->size()) != n * n) FailMeta(path, "ihre Achsenrichtungen sind unlesbar");
        for (int a = 0; a < n && a < 3; ++a)
            for (int w = 0; w < n && w < 3; ++w)
                direction[std::size_t(w)][std::size_t(a)] = (*v)[std::size_t(a * n + w)];
        break;
    }
    // ITK's world is LPS: x toward the left, y posterior.
    for (int a = 0; a < 3; ++a)
        for (int w = 0; w < 3; ++w)
            image.voxelToWorld[std::size_t(w)][std::size_t(a)] =
                (w < 2 ? -1.0 : 1.0) * direction[std::size_t(w)][std::size_t(a)] *
                spacing[std::size_t(a)];
    image.type = *type;
    const std::string msb =
        f.count("BinaryDataByteOrderMSB") ? f["BinaryDataByteOrderMSB"] : f["ElementByteOrderMSB"];
    image.bigEndian = IsTrue(msb);
    const bool compressed = f.count("CompressedData") && IsTrue(f["CompressedData"]);

    if (!text.stopped) FailMeta(path, "ihrem Dateikopf fehlt die Angabe, wo die Daten liegen");
    const std::string dataFile = need("ElementDataFile", "die Angabe, wo die Daten liegen");
    std::string dataPath = path;
    std::uint64_t start = text.end;
    if (dataFile != "LOCAL" && dataFile != "Local" && dataFile != "local") {
        if (dataFile.rfind("LIST", 0) == 0 || dataFile.find('%') != std::string::npos)
            FailMeta(path, "ihre Daten liegen in mehreren Dateien; gelesen wird eine Datendatei");
        dataPath = BesideHeader(path, dataFile);
        start = 0;
    }
    std::int64_t headerSize = 0;
    if (f.count("HeaderSize")) {
        const auto h = WholeNumber(f["HeaderSize"], -1, std::int64_t{1} << 40);
        if (!h) FailMeta(path, "ihr Datenbeginn ist ungültig");
        headerSize = *h;
    }
    StreamedInput in(
        dataPath, compressed ? StreamedInput::Packing::Deflated : StreamedInput::Packing::Plain,
        compressed ? start + std::uint64_t(std::max<std::int64_t>(0, headerSize)) : start);
    if (headerSize == -1) {
        // The data are the file's last bytes.
        if (compressed) FailMeta(path, "ihr Datenbeginn „-1“ gilt nur für unkomprimierte Daten");
        const double bytes =
            double(VolumeBytes(image.dims, SampleBytes(image.type), path)) * double(image.volumes);
        if (double(*in.PlainSize()) < bytes)
            FailMeta(path, "die Datei enthält weniger Bilddaten als verlangt");
        image.dataOffset = *in.PlainSize() - std::uint64_t(bytes);
    } else if (!compressed) {
        image.dataOffset = std::uint64_t(headerSize);
    }
    return StreamRawImage(in, image, volume, path, compressed ? "MetaImage (zlib)" : "MetaImage");
}

}  // namespace zx
