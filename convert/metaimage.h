// MetaImage (ITK's format, .mha with its data attached, .mhd with the data
// in a file beside it): a text header, raw or zlib-compressed data.
#pragma once

#include <string>

#include "convert/converted_volume.h"

namespace zx {

/// Converts volume `volume` (1 = the first) of a MetaImage file.
ConvertedVolume ConvertMetaImage(const std::string& path, int volume = 1);

}  // namespace zx
