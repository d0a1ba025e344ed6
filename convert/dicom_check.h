// A walk over the elements of a DICOM file before the decoder reads it: the
// decoder believes every declared length and allocates it, so a small file
// declaring gigabytes would take that much memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zx {

/// The largest decoded image of one DICOM file the series reader accepts.
constexpr std::uint64_t kMaxDicomImageBytes = std::uint64_t{512} << 20;

/// Checks the file at `path` (named `name` in messages). Throws
/// ConvertError "Die DICOM-Datei NAME kann nicht dekodiert werden." when an
/// element's length runs past the end of the file or the uncompressed
/// Pixel Data holds fewer bytes than rows × columns × frames × samples ×
/// bits need, and "Datei zu groß" when the decoded image would exceed
/// kMaxDicomImageBytes; an element of an unknown value representation in
/// an explicit-VR file counts as damage. Files in a deflated transfer
/// syntax are left to the decoder.
/// What the walk learns of the image on the way, as the header states it.
struct DicomLayout {
    /// Uncompressed little-endian samples, one a pixel, of 8 or 16 bits
    /// that all count (Bits Stored = Bits Allocated), one frame.
    bool native = false;
    bool signedSamples = false;
    int bits = 0;
    std::uint64_t pixelOffset = 0;    ///< where the samples start in the file
    double slope = 1, intercept = 0;  ///< Rescale Slope and Intercept
    /// The file holds elements beyond the file meta group (a deflated
    /// data set counts as such): without them it is no DICOM object.
    bool dataSet = false;
    /// The data set holds a Pixel Data element (a deflated one may: it
    /// counts as holding one).
    bool pixelData = false;
    /// Pixel Data encapsulated in RLE Lossless or JPEG 2000 (lossless or
    /// not), which the series reader decodes itself.
    bool compressed = false;
};
DicomLayout CheckDicomFile(const std::string& path, const std::string& name);

/// The native samples of the file (`bytes` of them, `rows` × `columns`
/// samples), read into `buffer`. Throws ConvertError when the file no
/// longer holds them.
const unsigned char* ReadNativeSamples(const std::string& path, const DicomLayout& layout,
                                       std::uint64_t bytes, std::vector<unsigned char>& buffer);

/// Whether the file starts with the DICOM preamble and "DICM".
bool HasDicomPreamble(const std::string& path);

}  // namespace zx
