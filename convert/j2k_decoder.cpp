#include "convert/j2k_decoder.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace zx {
namespace {

/// The code stream in memory, read by openjp2 through these callbacks.
struct Source {
    const std::uint8_t* data;
    std::size_t size, pos;
};

OPJ_SIZE_T Read(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* s = static_cast<Source*>(user);
    if (s->pos >= s->size) return OPJ_SIZE_T(-1);
    const std::size_t k = std::min<std::size_t>(n, s->size - s->pos);
    std::memcpy(buffer, s->data + s->pos, k);
    s->pos += k;
    return k;
}

OPJ_OFF_T Skip(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<Source*>(user);
    if (n < 0) return -1;
    const std::size_t k = std::min<std::size_t>(std::size_t(n), s->size - s->pos);
    s->pos += k;
    return OPJ_OFF_T(k);
}

OPJ_BOOL Seek(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<Source*>(user);
    if (n < 0 || std::size_t(n) > s->size) return OPJ_FALSE;
    s->pos = std::size_t(n);
    return OPJ_TRUE;
}

void Quiet(const char*, void*) {}

template <typename T>
void Store(const OPJ_INT32* in, std::size_t n, std::uint8_t* out) {
    for (std::size_t i = 0; i < n; ++i) {
        const T v = T(in[i]);
        std::memcpy(out + i * sizeof(T), &v, sizeof(T));
    }
}

}  // namespace

bool DecodeJ2kFrame(const std::uint8_t* data, std::size_t size, const J2kTarget& t,
                    std::uint8_t* out) {
    static const std::uint8_t kJp2[] = {0, 0, 0, 12, 'j', 'P', ' ', ' '};
    const bool jp2 = size >= sizeof kJp2 && std::memcmp(data, kJp2, sizeof kJp2) == 0;
    Source source{data, size, 0};
    const std::unique_ptr<opj_stream_t, void (*)(opj_stream_t*)> stream(
        opj_stream_create(1 << 16, OPJ_TRUE), opj_stream_destroy);
    const std::unique_ptr<opj_codec_t, void (*)(opj_codec_t*)> codec(
        opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K), opj_destroy_codec);
    if (!stream || !codec) return false;
    opj_stream_set_user_data(stream.get(), &source, nullptr);
    opj_stream_set_user_data_length(stream.get(), size);
    opj_stream_set_read_function(stream.get(), Read);
    opj_stream_set_skip_function(stream.get(), Skip);
    opj_stream_set_seek_function(stream.get(), Seek);
    opj_set_error_handler(codec.get(), Quiet, nullptr);
    opj_set_warning_handler(codec.get(), Quiet, nullptr);
    opj_set_info_handler(codec.get(), Quiet, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    // No worker threads: openjp2 runs the decoding on the calling thread
    // with 0 (with 1 it starts a worker thread for every image and waits
    // for it), whatever OPJ_NUM_THREADS says.
    if (!opj_setup_decoder(codec.get(), &parameters) || !opj_codec_set_threads(codec.get(), 0))
        return false;
    opj_image_t* raw = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &raw)) return false;
    const std::unique_ptr<opj_image_t, void (*)(opj_image_t*)> image(raw, opj_image_destroy);
    // One grey component of the stated size and sign, no wider than the
    // samples, and not subsampled: anything else goes to GDCM.
    const auto fits = [&] {
        const opj_image_comp_t& c = image->comps[0];
        return image->numcomps == 1 && c.w == t.columns && c.h == t.rows && c.dx == 1 &&
               c.dy == 1 && c.x0 == 0 && c.y0 == 0 && (c.sgnd != 0) == t.signedSamples &&
               c.prec >= 1 && int(c.prec) <= 8 * t.bytesPerSample;
    };
    if (!fits() || !opj_decode(codec.get(), stream.get(), image.get()) ||
        !opj_end_decompress(codec.get(), stream.get()) || !fits() || !image->comps[0].data)
        return false;
    const std::size_t n = std::size_t(t.columns) * t.rows;
    const OPJ_INT32* in = image->comps[0].data;
    switch (t.bytesPerSample * (t.signedSamples ? -1 : 1)) {
        case 1:
            Store<std::uint8_t>(in, n, out);
            return true;
        case -1:
            Store<std::int8_t>(in, n, out);
            return true;
        case 2:
            Store<std::uint16_t>(in, n, out);
            return true;
        case -2:
            Store<std::int16_t>(in, n, out);
            return true;
        case 4:
            Store<std::uint32_t>(in, n, out);
            return true;
        case -4:
            Store<std::int32_t>(in, n, out);
            return true;
        default:
            return false;
    }
}

}  // namespace zx
