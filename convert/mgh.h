// FreeSurfer's MGH volumes (.mgh, and .mgz: the same gzip-compressed).
#pragma once

#include <string>

#include "convert/converted_volume.h"

namespace zx {

/// Converts frame `volume` (1 = the first) of an MGH or MGZ file as the
/// NIfTI reader converts its images, streamed plane by plane.
ConvertedVolume ConvertMgh(const std::string& path, int volume = 1);

/// Whether these first bytes (at least 28 of them, after decompression)
/// look like an MGH header: version 1 and plausible sizes and type.
bool LooksLikeMgh(const unsigned char* bytes, std::size_t n);

}  // namespace zx
