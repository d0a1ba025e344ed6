// DICOM RLE Lossless (PackBits segments, one a byte of the sample), decoded
// straight into the caller's sample buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zx {

/// Decodes one RLE frame (`data`, `size` bytes: the 64-byte RLE header and
/// its segments) of `count` samples of `bytesPerSample` bytes (1, 2 or 4;
/// one sample a pixel) into `out`, in the host's little-endian order.
/// False when the frame is not of that layout (another number of
/// segments) or is damaged: offsets or runs past its end, too few bytes
/// for the samples. Never reads or writes outside the two buffers.
bool DecodeRleFrame(const std::uint8_t* data, std::size_t size, std::size_t count,
                    int bytesPerSample, std::uint8_t* out);

}  // namespace zx
