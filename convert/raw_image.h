// The step every header-plus-data reader shares: an image whose samples lie
// one after another (axis 0 fastest, volume after volume) in an input file,
// streamed plane by plane into the one orientation/resampling/window
// pipeline, with the same limits for every format.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "convert/converted_volume.h"
#include "convert/input_file.h"
#include "convert/pipeline.h"

namespace zx {

enum class SampleType { UInt8, Int8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

int SampleBytes(SampleType type);

struct RawImage {
    std::array<std::int64_t, 3> dims{};  ///< samples along array axes 0, 1, 2 (all ≥ 1)
    std::uint64_t volumes = 1;           ///< 3-D volumes one after another (4-D files)
    SampleType type = SampleType::UInt8;
    bool bigEndian = false;
    Matrix3 voxelToWorld{};  ///< RAS+, mm
    Scaling scaling;
    std::optional<Window> window;  ///< none: the percentiles of the image
    std::uint64_t dataOffset = 0;  ///< position of the first sample in the input
    std::string whatItIs;          ///< "ist eine MGH-Datei, aber ": leads messages on the data
};

/// Bytes of one 3-D volume; "Datei zu groß" beyond 2 GiB.
std::uint64_t VolumeBytes(const std::array<std::int64_t, 3>& dims, int bytesPerSample,
                          const std::string& path);

/// Converts volume `volume` (1 … image.volumes) of the image. `format`
/// names the file's format for ConvertedVolume::format; a 4-D file's notice
/// says which volume was taken ("Volumen 1 von 20"). Refused with "Datei zu
/// groß": a volume of more than 2 GiB, a plane of more than 64 MiB.
ConvertedVolume StreamRawImage(StreamedInput& in, const RawImage& image, int volume,
                               const std::string& path, const std::string& format);

/// Throws unless the plain file holds `bytes` from `offset` on; moves there.
void CheckDataPresent(StreamedInput& in, std::uint64_t offset, std::uint64_t bytes,
                      const std::string& path, const std::string& whatItIs = {});

/// The message of a 4-D file: "Volumen 3 von 20".
std::string VolumeNotice(int volume, std::uint64_t volumes);

}  // namespace zx
