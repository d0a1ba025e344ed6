// One 512 × 512 × 400 int16 head converted by zxconvert volume from each
// format: .nii and .nii.gz, MGH and MGZ, NRRD raw and gzip, MetaImage raw
// and zlib. Each run is a whole process; its peak resident memory is
// reported as the counter peak_rss_mib.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/volume_writers.h"

namespace {

constexpr int kX = 512, kY = 512, kZ = 400;

struct BigHead {
    QTemporaryDir dir;
    std::string Path(const char* name) const {
        return dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    BigHead() {
        zxtest::TestImage im;
        im.dims = {kX, kY, kZ};
        im.ras = {{{-0.5, 0, 0}, {0, 0, 0.6}, {0, -0.5, 0}}};
        std::vector<std::int16_t> values(std::size_t(kX) * kY * kZ);
        std::uint32_t noise = 1;
        std::size_t n = 0;
        for (int k = 0; k < kZ; ++k)
            for (int j = 0; j < kY; ++j)
                for (int i = 0; i < kX; ++i) {
                    noise = noise * 1664525u + 1013904223u;
                    const double r =
                        std::hypot((i - 256) / 220.0, (j - 256) / 230.0, (k - 200) / 180.0);
                    values[n++] = std::int16_t((r < 1 ? 1200 - 700 * r : 0) + (noise >> 26));
                }
        const zxtest::Bytes le(
            reinterpret_cast<const std::uint8_t*>(values.data()),
            reinterpret_cast<const std::uint8_t*>(values.data() + values.size()));
        zxtest::Bytes be = le;
        for (std::size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);

        zxtest::NiftiFields s;
        s.datatype = zxtest::kNiftiInt16;
        s.dim = {3, kX, kY, kZ, 1, 1, 1, 1};
        s.sformCode = 1;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) s.srow[std::size_t(r)][std::size_t(c)] = im.ras[r][c];
        const zxtest::Bytes header = zxtest::NiftiHeader(s);
        const zxtest::Bytes nii = zxtest::Concat(std::string(header.begin(), header.end()), le);
        Write("head.nii", nii);
        WriteGz("head.nii.gz", nii);
        const zxtest::Bytes mgh = zxtest::Concat(
            [&] {
                const zxtest::Bytes h = zxtest::Mgh(im);  // no values: the header alone
                return std::string(h.begin(), h.end());
            }(),
            be);
        Write("head.mgh", mgh);
        WriteGz("head.mgz", mgh);
        Write("head.nrrd", zxtest::Concat(zxtest::NrrdHeader(im, false, ""), le));
        Write("gz.nrrd", zxtest::Concat(zxtest::NrrdHeader(im, true, ""), Gz(le)));
        Write("head.mha", zxtest::Concat(zxtest::MetaHeader(im, false, "LOCAL"), le));
        uLongf size = compressBound(uLong(le.size()));
        zxtest::Bytes z(size);
        compress2(z.data(), &size, le.data(), uLong(le.size()), 1);
        z.resize(size);
        Write("zlib.mha", zxtest::Concat(zxtest::MetaHeader(im, true, "LOCAL", size), z));
    }
    void Write(const char* name, const zxtest::Bytes& b) const {
        std::FILE* f = std::fopen(Path(name).c_str(), "wb");
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
    static zxtest::Bytes Gz(const zxtest::Bytes& plain) {
        z_stream zs{};
        deflateInit2(&zs, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
        zxtest::Bytes out(deflateBound(&zs, uLong(plain.size())));
        zs.next_in = const_cast<std::uint8_t*>(plain.data());
        zs.avail_in = uInt(plain.size());
        zs.next_out = out.data();
        zs.avail_out = uInt(out.size());
        deflate(&zs, Z_FINISH);
        out.resize(zs.total_out);
        deflateEnd(&zs);
        return out;
    }
    void WriteGz(const char* name, const zxtest::Bytes& b) const { Write(name, Gz(b)); }
};

const BigHead& Head() {
    static const BigHead head;
    return head;
}

void BM_ConvertBigHead(benchmark::State& state, const char* name) {
    const std::string in = Head().Path(name);
    const std::string out = Head().Path("out.vmr");
    long peakKib = 0;
    for (auto _ : state) {
        const pid_t pid = fork();
        if (pid == 0) {
            std::freopen("/dev/null", "w", stderr);
            execl(ZXCONVERT_PATH, "zxconvert", "volume", in.c_str(), out.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("zxconvert failed");
        peakKib = std::max(peakKib, usage.ru_maxrss);
    }
    state.counters["peak_rss_mib"] = double(peakKib) / 1024.0;
}

BENCHMARK_CAPTURE(BM_ConvertBigHead, nii, "head.nii")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertBigHead, nii_gz, "head.nii.gz")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertBigHead, mgh, "head.mgh")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertBigHead, mgz, "head.mgz")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertBigHead, nrrd, "head.nrrd")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertBigHead, nrrd_gzip, "gz.nrrd")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertBigHead, mha, "head.mha")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ConvertBigHead, mha_zlib, "zlib.mha")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
