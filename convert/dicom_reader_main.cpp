// zerebrix-dicom: reads one DICOM series (or one MINC file) for the viewer,
// in a process of its own. The viewer hands over a shared memory block (a descriptor number) and
// the folder; the converted volume or the reason for refusing it goes into
// the block. A crash of the decoder on a damaged file ends only this process.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

#include "convert/dicom_helper.h"
#include "convert/dicom_result.h"

namespace {

zx::DicomSeriesResult* gResult = nullptr;
bool gMinc = false;

/// An allocation the address-space limit refuses: the series is refused
/// in German, whichever decoder call asked for the memory.
void OutOfMemory() {
    static const char text[] =
        "Datei zu groß: die DICOM-Serie braucht mehr Speicher, als der DICOM-Leser hat (2 GiB).";
    static const char mincText[] =
        "Datei zu groß: die MINC-Datei braucht mehr Speicher, als der Leser hat (2 GiB).";
    if (gMinc)
        std::memcpy(gResult->message, mincText, sizeof mincText);
    else
        std::memcpy(gResult->message, text, sizeof text);
    gResult->status = 1;
    ::_exit(0);
}

/// Bounds the reader: address space (a damaged file that declares gigabytes
/// fails to allocate instead of filling the machine) and processor time (a
/// backstop behind the viewer's wall-clock limit). Sanitizer builds reserve
/// terabytes of shadow address space and keep only the time limit.
void LimitResources() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr bool kAddressLimit = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    constexpr bool kAddressLimit = false;
#else
    constexpr bool kAddressLimit = true;
#endif
#else
    constexpr bool kAddressLimit = true;
#endif
    // Only ever lowered: a tighter limit the caller set stays.
    auto lower = [](int resource, rlim_t soft, rlim_t hard) {
        rlimit now{};
        if (::getrlimit(resource, &now) != 0) return;
        const rlimit to{std::min(now.rlim_cur, soft), std::min(now.rlim_max, hard)};
        ::setrlimit(resource, &to);
    };
    if (kAddressLimit) lower(RLIMIT_AS, zx::kDicomReaderMemoryLimit, zx::kDicomReaderMemoryLimit);
    const rlim_t seconds = rlim_t(zx::kDicomReaderTimeLimit.count() / 1000 + 5);
    lower(RLIMIT_CPU, seconds, seconds + 5);
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<zx::ReaderArguments> args = zx::ParseReaderArguments(argc, argv);
    if (!args) {
        std::fprintf(stderr,
                     "zerebrix-dicom: wird vom Betrachter so gestartet: zerebrix-dicom --result-fd "
                     "FD [--index | --series N | --minc VOLUMEN] -- ORDNER|DATEI\n");
        return 2;
    }
    const int fd = args->fd;
    // Only a block the viewer made for the reader is written: never a
    // standard stream, and never a file that happens to be open at that
    // number. The viewer's block is a memfd of exactly the block's size,
    // sealed against resizing, that carries the viewer's mark.
    struct stat st {};
    const int seals = ::fcntl(fd, F_GET_SEALS);  // −1 for other files
    const bool block = seals >= 0 && (seals & zx::kDicomResultSeals) == zx::kDicomResultSeals &&
                       ::fstat(int(fd), &st) == 0 && S_ISREG(st.st_mode) &&
                       st.st_size == off_t(sizeof(zx::DicomSeriesResult));
    void* mapped = block ? ::mmap(nullptr, sizeof(zx::DicomSeriesResult), PROT_READ | PROT_WRITE,
                                  MAP_SHARED, int(fd), 0)
                         : MAP_FAILED;
    if (mapped == MAP_FAILED ||
        static_cast<zx::DicomSeriesResult*>(mapped)->mark != zx::kDicomResultMark) {
        std::fprintf(stderr, "zerebrix-dicom: kein Ergebnisblock am Deskriptor %s\n", argv[2]);
        return 2;
    }
    LimitResources();
    gResult = static_cast<zx::DicomSeriesResult*>(mapped);
    std::set_new_handler(OutOfMemory);
    if (args->minc > 0) {
#if ZX_READER_MINC
        gMinc = true;
        zx::FillMincResult(args->path, args->minc, *gResult);
#else
        std::fprintf(stderr, "zerebrix-dicom: MINC-Dateien liest zerebrix-minc\n");
        return 2;
#endif
    } else if (args->index) {
        zx::FillDicomIndexResult(args->path, *gResult);
    } else {
        // The whole volume is written: its pages (made by the caller while
        // this program started) are mapped here at once.
        zx::MakeVoxelPages(*gResult);
        zx::FillDicomSeriesResult(args->path, *gResult, args->chosen);
    }
    std::fflush(nullptr);
    ::_exit(0);  // the result is in the block; nothing else to tidy
}
