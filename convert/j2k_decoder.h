// JPEG 2000 frames decoded by openjp2 straight into the caller's sample
// buffer, on the calling thread alone (the series reader already decodes
// two files at a time).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zx {

/// What the samples are to become.
struct J2kTarget {
    unsigned columns = 0, rows = 0;
    int bytesPerSample = 2;  ///< 1, 2 or 4
    bool signedSamples = false;
};

/// Decodes one JPEG 2000 code stream (or JP2 file) of one grey component
/// of exactly the target's size and sign, at most its bits, into `out`.
/// False when the stream is of another kind or cannot be decoded (the
/// caller then leaves it to GDCM, which names the damage).
bool DecodeJ2kFrame(const std::uint8_t* data, std::size_t size, const J2kTarget& target,
                    std::uint8_t* out);

}  // namespace zx
