// The DICOM series reader in this process, as the reader program runs it:
// a folder of up to 64 files. The input itself is one of them; up to four
// others are small valid slices (two sizes, four positions, six transfer
// syntaxes, made once with GDCM) chosen and damaged by the input's last
// bytes, and up to 59 more are uncompressed slices of either size at
// positions and with rescale values the input chooses (a series that grows
// with its files, one intercept a slice or one for all). The
// result is a volume or a ConvertError. An assertion inside the decoding
// libraries (GDCM's, which the reader program contains in production: the
// viewer refuses the folder) ends the run quietly as the refusal it is, so
// run it with -fork=1: each job that meets one simply ends.
#include <fuzzer/FuzzedDataProvider.h>
#include <gdcmAttribute.h>
#include <gdcmImageChangeTransferSyntax.h>
#include <gdcmImageWriter.h>
#include <unistd.h>

#include <QDir>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "convert/dicom_series.h"
#include "fuzz_support.h"

// The harness's own code is built with NDEBUG, so an assertion that fails
// is one of the libraries'. This definition takes the place of the C
// library's for them.
extern "C" [[noreturn]] void __assert_fail(const char* assertion, const char* file,
                                           unsigned int line, const char*) noexcept {
    std::fprintf(stderr, "fuzz_dicom_series: library assertion, an expected refusal: %s:%u: %s\n",
                 file, line, assertion);
    _exit(0);
}

namespace {

/// One CT slice of `columns` × `rows` int16 samples at z = `z` mm.
std::string Slice(unsigned columns, unsigned rows, int z, gdcm::TransferSyntax::TSType syntax) {
    gdcm::ImageWriter w;
    gdcm::Image& im = w.GetImage();
    im.SetNumberOfDimensions(2);
    im.SetDimension(0, columns);
    im.SetDimension(1, rows);
    im.SetPixelFormat(gdcm::PixelFormat(gdcm::PixelFormat::INT16));
    im.SetPhotometricInterpretation(gdcm::PhotometricInterpretation::MONOCHROME2);
    im.SetOrigin(2, z);
    const double dc[6] = {1, 0, 0, 0, 1, 0};
    im.SetDirectionCosines(dc);
    im.SetSlope(1);
    im.SetIntercept(-1024);
    std::vector<std::int16_t> samples(std::size_t(columns) * rows);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::int16_t(i * 37 % 3000 + z * 100);
    gdcm::DataElement pixels(gdcm::Tag(0x7fe0, 0x0010));
    pixels.SetByteValue(reinterpret_cast<const char*>(samples.data()),
                        uint32_t(samples.size() * 2));
    im.SetDataElement(pixels);
    im.SetTransferSyntax(gdcm::TransferSyntax::ExplicitVRLittleEndian);
    gdcm::DataSet& ds = w.GetFile().GetDataSet();
    gdcm::Attribute<0x0008, 0x0016> sop{"1.2.840.10008.5.1.4.1.1.2"};
    ds.Replace(sop.GetAsDataElement());
    gdcm::Attribute<0x0020, 0x000e> uid{"1.2.3.4"};
    ds.Replace(uid.GetAsDataElement());
    if (syntax != gdcm::TransferSyntax::ExplicitVRLittleEndian) {
        gdcm::ImageChangeTransferSyntax change;
        change.SetTransferSyntax(syntax);
        change.SetInput(im);
        if (!change.Change()) std::abort();
        im = change.GetOutput();
    }
    std::ostringstream out;
    w.SetStream(out);
    if (!w.Write()) std::abort();
    return out.str();
}

std::vector<std::string>& Templates() {
    static std::vector<std::string> all = [] {
        std::vector<std::string> t;
        for (auto syntax :
             {gdcm::TransferSyntax::ExplicitVRLittleEndian,
              gdcm::TransferSyntax::ImplicitVRLittleEndian,
              gdcm::TransferSyntax::ExplicitVRBigEndian, gdcm::TransferSyntax::RLELossless,
              gdcm::TransferSyntax::JPEG2000Lossless, gdcm::TransferSyntax::JPEGLSLossless})
            for (unsigned size : {24u, 12u})
                for (int z : {0, 1, 2, 3}) t.push_back(Slice(size + 8, size, z, syntax));
        return t;
    }();
    return all;
}

/// The explicit little-endian `file` with the value of its DS element
/// `tag` (4 bytes: group, element) replaced by `value`.
std::string WithValue(const std::string& file, const char* tag, std::string value) {
    const std::size_t at = file.find(std::string(tag, 4) + "DS");
    if (at == std::string::npos) std::abort();
    if (value.size() % 2) value += ' ';
    const std::size_t old = std::uint8_t(file[at + 6]) | std::size_t(std::uint8_t(file[at + 7]))
                                                             << 8;
    std::string out = file.substr(0, at + 6);
    out += char(value.size() & 0xff);
    out += char(value.size() >> 8);
    return out + value + file.substr(at + 8 + old);
}

void Put(const QString& path, const char* data, std::size_t size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    f.write(data, qint64(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One folder per process under one parent: a run that GDCM ends leaves
    // its folder behind, and run.sh removes the parent afterwards.
    static const QString folder = QStringLiteral("/dev/shm/zxfuzz-series/%1").arg(::getpid());
    static std::vector<std::uint8_t> volume(std::size_t{1} << 24);
    const std::vector<std::string>& templates = Templates();
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    FuzzedDataProvider p(data, size);
    const int extra = p.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < extra; ++i) {
        std::string file =
            templates[p.ConsumeIntegralInRange<std::size_t>(0, templates.size() - 1)];
        for (int edits = p.ConsumeIntegralInRange(0, 3); edits > 0; --edits) {
            const std::size_t at = p.ConsumeIntegral<std::uint16_t>() % file.size();
            file[at] = char(p.ConsumeIntegral<std::uint8_t>());
        }
        if (const std::uint16_t cut = p.ConsumeIntegral<std::uint16_t>(); cut % 4 == 1)
            file.resize(cut % file.size());
        Put(folder + QStringLiteral("/t%1.dcm").arg(i), file.data(), file.size());
    }
    // A series of made slices: positions start + k · step (some moved a
    // little), intercepts one for all or one a slice.
    const int made = p.ConsumeIntegralInRange(0, 59);
    const int start = p.ConsumeIntegralInRange(-500, 500), step = p.ConsumeIntegralInRange(-4, 4);
    const bool varied = p.ConsumeBool();
    const int slope = p.ConsumeIntegralInRange(1, 3);
    for (int k = 0; k < made; ++k) {
        const std::string& plain = templates[p.ConsumeBool() ? 0 : 4];  // 32 × 24 or 20 × 12
        const double z =
            start + k * step +
            (p.ConsumeIntegralInRange(0, 7) == 0 ? p.ConsumeIntegralInRange(-100, 100) / 64.0
                                                 : 0.0);
        const int intercept = varied ? p.ConsumeIntegralInRange(-3000, 3000) : -1024;
        std::string file = WithValue(plain, "\x20\x00\x32\x00", "0\\0\\" + std::to_string(z));
        file = WithValue(file, "\x28\x00\x52\x10", std::to_string(intercept));
        file = WithValue(file, "\x28\x00\x53\x10", std::to_string(slope));
        Put(folder + QStringLiteral("/m%1.dcm").arg(k), file.data(), file.size());
    }
    const std::vector<std::uint8_t> own = p.ConsumeRemainingBytes<std::uint8_t>();
    if (!own.empty())
        Put(folder + QStringLiteral("/input.dcm"), reinterpret_cast<const char*>(own.data()),
            own.size());
    std::memset(volume.data(), 0, volume.size());
    try {
        const zx::ConvertedVolume v = zx::ReadDicomSeriesHere(folder.toStdString(), volume.data());
        zxfuzz::Check(v.planes >= 1 && v.planes <= 256 && v.voxelEdgeMm > 0);
        for (std::size_t i = std::size_t(v.planes) * 65536; i < volume.size(); i += 4099)
            zxfuzz::Check(volume[i] == 0);
    } catch (const zx::ConvertError&) {
    }
    QDir(folder).removeRecursively();
    return 0;
}
