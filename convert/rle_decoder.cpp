#include "convert/rle_decoder.h"

#include <cstring>

namespace zx {
namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

/// One PackBits segment into every `stride`-th byte of `out` (`count`
/// bytes in all); true when exactly those were filled.
bool Segment(const std::uint8_t* in, const std::uint8_t* end, std::uint8_t* out, std::size_t count,
             std::size_t stride) {
    std::size_t done = 0;
    while (in < end && done < count) {
        const int n = static_cast<std::int8_t>(*in++);
        if (n >= 0) {  // n + 1 bytes as they are
            const std::size_t run = std::size_t(n) + 1;
            if (std::size_t(end - in) < run || count - done < run) return false;
            if (stride == 1) {
                std::memcpy(out + done, in, run);
            } else {
                for (std::size_t k = 0; k < run; ++k) out[(done + k) * stride] = in[k];
            }
            in += run;
            done += run;
        } else if (n != -128) {  // the next byte 1 − n times
            const std::size_t run = std::size_t(1 - n);
            if (in == end || count - done < run) return false;
            const std::uint8_t b = *in++;
            if (stride == 1) {
                std::memset(out + done, b, run);
            } else {
                for (std::size_t k = 0; k < run; ++k) out[(done + k) * stride] = b;
            }
            done += run;
        }
    }
    return done == count;
}

}  // namespace

bool DecodeRleFrame(const std::uint8_t* data, std::size_t size, std::size_t count,
                    int bytesPerSample, std::uint8_t* out) {
    if (size < 64 || bytesPerSample < 1 || bytesPerSample > 4) return false;
    const std::uint32_t segments = Le32(data);
    if (segments != std::uint32_t(bytesPerSample)) return false;
    for (std::uint32_t s = 0; s < segments; ++s) {
        const std::uint32_t begin = Le32(data + 4 + 4 * s);
        const std::uint32_t finish =
            s + 1 < segments ? Le32(data + 8 + 4 * s) : std::uint32_t(size);
        if (begin < 64 || begin > finish || finish > size) return false;
        // Segment 0 holds the most significant bytes.
        const std::size_t byte = std::size_t(bytesPerSample) - 1 - s;
        if (!Segment(data + begin, data + finish, out + byte, count, std::size_t(bytesPerSample)))
            return false;
    }
    return true;
}

}  // namespace zx
