#include "convert/volume_file.h"

#include <cctype>
#include <cstring>
#include <filesystem>

#include "convert/dicom_helper.h"
#include "convert/input_file.h"
#include "convert/metaimage.h"
#include "convert/mgh.h"
#include "convert/nifti.h"
#include "convert/nrrd.h"

namespace zx {
namespace {

constexpr std::size_t kSniff = 1024;

bool EndsWithNoCase(const std::string& s, const char* tail) {
    const std::size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
    return true;
}

bool StartsWith(const unsigned char* b, std::size_t n, const char* text) {
    const std::size_t k = std::strlen(text);
    return n >= k && std::memcmp(b, text, k) == 0;
}

bool Contains(const unsigned char* b, std::size_t n, const char* text) {
    const std::string s(reinterpret_cast<const char*>(b), n);
    return s.find(text) != std::string::npos;
}

std::int32_t Int32(const unsigned char* b, bool bigEndian) {
    return bigEndian ? std::int32_t(std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 |
                                    std::uint32_t(b[2]) << 8 | b[3])
                     : std::int32_t(std::uint32_t(b[3]) << 24 | std::uint32_t(b[2]) << 16 |
                                    std::uint32_t(b[1]) << 8 | b[0]);
}

[[noreturn]] void Refuse(const std::string& path, const std::string& what) {
    FailFile(path, what +
                       "; gelesen werden NIfTI (.nii, .hdr/.img), Analyze 7.5, MGH/MGZ, NRRD, "
                       "MetaImage (.mha/.mhd) und MINC");
}

// A .img is the data half of a pair: its header decides.
bool HasHeaderBeside(const std::string& path) {
    for (const char* ext : {".img", ".img.gz"}) {
        if (!EndsWithNoCase(path, ext)) continue;
        const std::string stem = path.substr(0, path.size() - std::strlen(ext));
        for (const char* h : {".hdr", ".HDR", ".hdr.gz", ".HDR.GZ"}) {
            std::error_code ec;
            if (std::filesystem::is_regular_file(stem + h, ec)) return true;
        }
    }
    return false;
}

}  // namespace

VolumeFormat DetectVolumeFormat(const std::string& path) {
    if (HasHeaderBeside(path)) return VolumeFormat::Nifti;
    unsigned char b[kSniff] = {};
    std::size_t n = 0;
    bool gzip = false;
    {
        StreamedInput in(path);
        gzip = in.Compressed();
        try {
            n = in.ReadUpTo(b, sizeof b);
        } catch (const ConvertError&) {
            if (!gzip) throw;
            FailFile(path, "ist gzip-komprimiert, aber beschädigt");
        }
    }
    if (n >= 4 && (Int32(b, false) == 348 || Int32(b, true) == 348 || Int32(b, false) == 540 ||
                   Int32(b, true) == 540))
        return VolumeFormat::Nifti;
    if (StartsWith(b, n, "NRRD000")) return VolumeFormat::Nrrd;
    if (!gzip && (StartsWith(b, n, "ObjectType") || StartsWith(b, n, "NDims") ||
                  (Contains(b, n, "NDims") && Contains(b, n, "ElementType"))))
        return VolumeFormat::MetaImage;
    if (LooksLikeMgh(b, n)) return VolumeFormat::Mgh;

    // Files of other kinds, named as such.
    if (!gzip && (StartsWith(b, n, "CDF\x01") || StartsWith(b, n, "CDF\x02") ||
                  StartsWith(b, n, "\x89HDF\r\n\x1a\n")))
        return VolumeFormat::Minc;
    if (n > 132 && std::memcmp(b + 128, "DICM", 4) == 0)
        FailFile(path,
                 "ist eine DICOM-Datei, ein einzelnes Schnittbild: eine DICOM-Serie wird als "
                 "Ordner geöffnet");
    if (Contains(b, n, "<GIFTI") || Contains(b, n, "gifti"))
        Refuse(path, "ist eine GIFTI-Datei (Hirnoberfläche), kein räumliches Bild");
    if (StartsWith(b, n, "BM") || StartsWith(b, n, "\x89PNG") || StartsWith(b, n, "\xff\xd8\xff"))
        Refuse(path, "ist ein einzelnes Bild (BMP, PNG oder JPEG), keine Volumendatei");
    if (n == 0) Refuse(path, "ist leer, keine Volumendatei");
    if (EndsWithNoCase(path, ".vmr"))
        FailFile(path,
                 "ist schon eine Volumendatei dieses Programms (.vmr): sie wird geöffnet, nicht "
                 "umgewandelt");
    Refuse(path, gzip ? "ist gzip-komprimiert, enthält aber keine Volumendatei"
                      : "ist keine Volumendatei");
}

ConvertedVolume ConvertVolumeFile(const std::string& path, int volume) {
    switch (DetectVolumeFormat(path)) {
        case VolumeFormat::Nifti:
            return ConvertNifti(path, volume);
        case VolumeFormat::Mgh:
            return ConvertMgh(path, volume);
        case VolumeFormat::Nrrd:
            return ConvertNrrd(path, volume);
        case VolumeFormat::MetaImage:
            return ConvertMetaImage(path, volume);
        case VolumeFormat::Minc:
            return ConvertMincApart(path, volume);
        case VolumeFormat::None:
            break;
    }
    FailFile(path, "ist keine Volumendatei");
}

bool IsVolumeFileName(const std::string& path) {
    for (const char* ext : {".nii", ".nii.gz", ".hdr", ".hdr.gz", ".img", ".img.gz", ".mgh", ".mgz",
                            ".mgh.gz", ".nrrd", ".nhdr", ".mha", ".mhd"})
        if (EndsWithNoCase(path, ext)) return true;
    return false;
}

}  // namespace zx
