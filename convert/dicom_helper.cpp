#include "convert/dicom_helper.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "base/posix_file.h"
#include "convert/dicom_result.h"

extern char** environ;

namespace zx {
namespace {

[[noreturn]] void Fail(const std::string& text) { throw ConvertError(text); }

bool Executable(const std::filesystem::path& p) { return ::access(p.c_str(), X_OK) == 0; }

/// The descriptor number the reader finds its result block at.
constexpr int kResultFd = 3;

/// Waits for the child `pid` until `limit` has passed. False when it is
/// still running then; otherwise `waited` and `wstatus` are waitpid's.
/// Between looks the wait sleeps on the child's process descriptor, which
/// wakes it as soon as the child ends (without one, for the pause alone).
bool WaitAtMost(pid_t pid, std::chrono::milliseconds limit, int& wstatus, pid_t& waited,
                const std::function<void()>& tick) {
    const auto end = std::chrono::steady_clock::now() + limit;
    const UniqueFd child(int(::syscall(SYS_pidfd_open, pid, 0)));
    long pauseNs = 200000;  // 0.2 ms at first, at most 20 ms between looks
    for (;;) {
        waited = ::waitpid(pid, &wstatus, WNOHANG);
        if (waited == pid || (waited < 0 && errno != EINTR)) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return false;
        if (tick) tick();
        if (child.Valid()) {
            // Without progress to report, the pause is the rest of the limit.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
            const long pauseMs = (pauseNs + 999999) / 1000000;
            pollfd ended{child.Get(), POLLIN, 0};
            ::poll(&ended, 1, int(std::min<long long>(tick ? pauseMs : left, 1000)));
        } else {
            const timespec pause{0, pauseNs};
            ::nanosleep(&pause, nullptr);
        }
        pauseNs = std::min(pauseNs * 2, 20000000L);
    }
}

}  // namespace

void CheckDicomSeriesResult(const std::string& folder, const DicomSeriesResult& result,
                            bool exited) {
    // Only a reader that ended normally with exit status 0 has filled the
    // block; a crash may leave a half-written one behind.
    if (!exited) {
        Fail("Der Ordner " + folder +
             " enthält eine beschädigte DICOM-Datei, an der der DICOM-Leser scheitert.");
    }
    const std::string message(result.message, ::strnlen(result.message, sizeof result.message));
    if (result.status == 1) Fail(message);
    if (result.status == 3) throw SeveralVolumesError(message);
    if (result.status != 0 || result.planes < 1 || result.planes > kEdge ||
        !PlausibleEdgeMm(result.edge)) {
        Fail("Der DICOM-Leser hat für den Ordner " + folder +
             " ein unbrauchbares Ergebnis geliefert.");
    }
}

ConvertedVolume TakeDicomSeriesResult(const std::string& folder, const DicomSeriesResult& result,
                                      bool exited) {
    CheckDicomSeriesResult(folder, result, exited);
    ConvertedVolume v;
    v.voxels.assign(result.voxels, result.voxels + sizeof result.voxels);
    v.planes = result.planes;
    v.voxelEdgeMm = result.edge;
    v.notice.assign(result.notice, ::strnlen(result.notice, sizeof result.notice));
    return v;
}

std::string DicomReaderPath(const char* name) {
    // A replacement reader named in the environment (the tests use small
    // stand-ins that crash or hand back damaged results).
    if (const char* named = std::getenv("ZEREBRIX_DICOM_READER"); named && *named) return named;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path dir = self.parent_path();
        for (const std::filesystem::path& p : {dir / "../libexec/zerebrix" / name, dir / name}) {
            if (Executable(p)) return p.lexically_normal().string();
        }
    }
#ifdef ZX_BUILD_DIR
    // Programs of the build tree (the tests) use the reader built beside
    // them; an installed program never looks into a build folder.
    if (!ec) {
        std::error_code ignored;
        std::filesystem::path build = std::filesystem::weakly_canonical(ZX_BUILD_DIR, ignored);
        if (build.empty()) build = std::filesystem::path(ZX_BUILD_DIR).lexically_normal();
        const auto [end, rest] =
            std::mismatch(build.begin(), build.end(), self.begin(), self.end());
        if (end == build.end() && Executable(build / name)) return (build / name).string();
    }
#endif
    return {};
}

ConvertedVolume ConvertDicomSeriesApart(const std::string& folder,
                                        std::chrono::milliseconds timeLimit) {
    ConvertedVolume v;
    ConvertDicomSeriesApart(
        folder,
        [&](const std::uint8_t* voxels, int planes, double edge) {
            v.voxels.assign(voxels, voxels + sizeof(DicomSeriesResult::voxels));
            v.planes = planes;
            v.voxelEdgeMm = edge;
        },
        timeLimit, {}, &v.notice);
    return v;
}

namespace {

/// Runs the reader program with `args` after its descriptor option and
/// hands the result block to `done` (`exited`: the reader ended normally
/// with status 0). `what` names the input in the time-out message;
/// `voxels`: the reader writes a volume; `minc`: the MINC reader program
/// instead of the DICOM reader.
void RunReader(const std::vector<std::string>& args, const std::string& what,
               std::chrono::milliseconds timeLimit, const std::function<void(int, int)>& progress,
               const std::function<void(const DicomSeriesResult&, bool exited)>& done, bool voxels,
               bool minc = false) {
    const std::string reader = DicomReaderPath(minc ? "zerebrix-minc" : "zerebrix-dicom");
    if (reader.empty())
        Fail(minc ? "Der MINC-Leser zerebrix-minc ist nicht installiert."
                  : "Der DICOM-Leser zerebrix-dicom ist nicht installiert.");
    // The result block: memory shared with the reader through a descriptor
    // that only the reader inherits, at a fixed number.
    // Sealed at its size: the reader writes only into a block made so.
    const UniqueFd mem(::memfd_create("zerebrix-dicom", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!mem.Valid() || ::ftruncate(mem.Get(), sizeof(DicomSeriesResult)) != 0 ||
        ::fcntl(mem.Get(), F_ADD_SEALS, kDicomResultSeals) != 0) {
        Fail("Kein Speicher für den Leser.");
    }
    const UniqueFd high(
        ::fcntl(mem.Get(), F_DUPFD_CLOEXEC, 10));  // never the number it is moved to
    if (!high.Valid()) Fail("Kein Speicher für den Leser.");
    void* block = ::mmap(nullptr, sizeof(DicomSeriesResult), PROT_READ | PROT_WRITE, MAP_SHARED,
                         mem.Get(), 0);
    if (block == MAP_FAILED) Fail("Kein Speicher für den Leser.");
    struct Unmap {
        void* p;
        ~Unmap() { ::munmap(p, sizeof(DicomSeriesResult)); }
    } unmap{block};
    auto* result = static_cast<DicomSeriesResult*>(block);
    result->status = 2;
    result->thumbnails = -1;
    result->mark = kDicomResultMark;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, high.Get(), kResultFd);
    std::vector<std::string> words = {reader, "--result-fd", std::to_string(kResultFd)};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, reader.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) Fail("Der DICOM-Leser " + reader + " kann nicht gestartet werden.");
    if (voxels) {
        // The pages the reader will write the volume into are made here,
        // on this core, while the reader loads its libraries on the other:
        // making 16 MiB of fresh pages is a good part of a series' time.
        MakeVoxelPages(*result);
    }
    int wstatus = 0;
    pid_t waited = 0;
    // The reader counts the files it has decoded in the result block.
    const auto tick = [&] {
        if (progress)
            progress(result->filesDone.load(std::memory_order_relaxed),
                     result->filesTotal.load(std::memory_order_relaxed));
    };
    if (!WaitAtMost(pid, timeLimit, wstatus, waited, tick)) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
        }
        Fail("Der DICOM-Leser hat " + what + " nicht innerhalb von " +
             std::to_string((timeLimit.count() + 999) / 1000) + " s gelesen und wurde beendet.");
    }
    done(*result, waited == pid && WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
}

std::string Notice(const DicomSeriesResult& r) {
    return std::string(r.notice, ::strnlen(r.notice, sizeof r.notice));
}

}  // namespace

void ConvertDicomSeriesApart(
    const std::string& folder,
    const std::function<void(const std::uint8_t* voxels, int planes, double edge)>& use,
    std::chrono::milliseconds timeLimit, const std::function<void(int done, int total)>& progress,
    std::string* notice, int chosen, std::string* seriesLine) {
    std::vector<std::string> args;
    if (chosen > 0) args = {"--series", std::to_string(chosen)};
    args.insert(args.end(), {"--", folder});
    RunReader(
        args, "den Ordner " + folder, timeLimit, progress,
        [&](const DicomSeriesResult& result, bool exited) {
            CheckDicomSeriesResult(folder, result, exited);
            if (notice) *notice = Notice(result);
            if (seriesLine)
                seriesLine->assign(result.seriesLine,
                                   ::strnlen(result.seriesLine, sizeof result.seriesLine));
            use(result.voxels, result.planes, result.edge);
        },
        true);
}

void MakeVoxelPages(DicomSeriesResult& result) {
    const auto from = reinterpret_cast<std::uintptr_t>(result.voxels) & ~std::uintptr_t(4095);
    ::madvise(reinterpret_cast<void*>(from),
              reinterpret_cast<std::uintptr_t>(result.voxels) + sizeof result.voxels - from,
              MADV_POPULATE_WRITE);
}

std::optional<ReaderArguments> ParseReaderArguments(int argc, const char* const* argv) {
    // A whole number from lo to hi, nothing else.
    auto number = [](const char* text, long lo, long hi) -> std::optional<int> {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(text, &end, 10);
        if (end == text || *end != '\0' || errno != 0 || v < lo || v > hi) return std::nullopt;
        return int(v);
    };
    const bool index = argc == 6 && std::strcmp(argv[3], "--index") == 0;
    const bool series = argc == 7 && std::strcmp(argv[3], "--series") == 0;
    const bool minc = argc == 7 && std::strcmp(argv[3], "--minc") == 0;
    if ((argc != 5 && !index && !series && !minc) || std::strcmp(argv[1], "--result-fd") != 0 ||
        std::strcmp(argv[argc - 2], "--") != 0)
        return std::nullopt;
    const std::optional<int> fd = number(argv[2], 3, 1000000);
    const std::optional<int> chosen = series ? number(argv[4], 1, 1 << 30) : 0;
    const std::optional<int> volume = minc ? number(argv[4], 1, 1 << 30) : 0;
    if (!fd || !chosen || !volume) return std::nullopt;
    return ReaderArguments{*fd, index, *chosen, *volume, argv[argc - 1]};
}

DicomFolderIndex TakeDicomIndexResult(const std::string& path, const DicomSeriesResult& result,
                                      bool exited) {
    DicomFolderIndex index;
    // A reader that died making the thumbnails has left the index
    // complete: it is taken, with the thumbnails made.
    const int made = result.thumbnails.load(std::memory_order_acquire);
    if (result.status != 0 || (!exited && made < 0)) CheckDicomSeriesResult(path, result, exited);
    const auto* text = reinterpret_cast<const char*>(result.voxels);
    const std::size_t length = ::strnlen(text, kIndexTextBytes);
    if (result.status != 0 || length == kIndexTextBytes)
        Fail("Der DICOM-Leser hat für den Ordner " + path +
             " ein unbrauchbares Ergebnis geliefert.");
    index.series = ParseIndex(std::string(text, length));
    // Only as many thumbnails as the block holds, whatever count it gives.
    const std::size_t thumbnails =
        std::min<std::size_t>(std::size_t(std::max(made, 0)), kMaxIndexThumbnails);
    for (std::size_t i = 0; i < index.series.size(); ++i) {
        std::vector<std::uint8_t> t(4096, 0);
        if (i < thumbnails) std::memcpy(t.data(), result.voxels + kIndexTextBytes + i * 4096, 4096);
        index.thumbnails.push_back(std::move(t));
    }
    index.notice = Notice(result);
    return index;
}

DicomFolderIndex IndexDicomApart(const std::string& path, std::chrono::milliseconds timeLimit,
                                 const std::function<void(int done, int total)>& progress) {
    DicomFolderIndex index;
    RunReader(
        {"--index", "--", path}, "den Ordner " + path, timeLimit, progress,
        [&](const DicomSeriesResult& result, bool exited) {
            index = TakeDicomIndexResult(path, result, exited);
        },
        false);
    return index;
}

ConvertedVolume ConvertMincApart(const std::string& path, int volume,
                                 std::chrono::milliseconds timeLimit) {
    ConvertedVolume v;
    RunReader(
        {"--minc", std::to_string(volume), "--", path}, "die MINC-Datei " + path, timeLimit, {},
        [&](const DicomSeriesResult& result, bool exited) {
            if (!exited)
                Fail(path + ": ist eine MINC-Datei, an der das Lesen scheitert (beschädigt?)");
            if (result.status == 1)
                Fail(std::string(result.message, ::strnlen(result.message, sizeof result.message)));
            if (result.status != 0 || result.planes < 1 || result.planes > kEdge ||
                !PlausibleEdgeMm(result.edge))
                Fail(path + ": das Lesen der MINC-Datei gab ein unbrauchbares Ergebnis");
            v.voxels.assign(result.voxels, result.voxels + sizeof result.voxels);
            v.planes = result.planes;
            v.voxelEdgeMm = result.edge;
            v.notice = Notice(result);
            v.volumes = std::max<std::uint64_t>(1, result.volumes);
            v.volume = volume;
            v.format = "MINC";
        },
        true, true);
    return v;
}

}  // namespace zx
