// zerebrix-dicom: reads one DICOM series for the viewer, in a process of its
// own. The viewer hands over a shared memory block (a descriptor number) and
// the folder; the converted volume or the reason for refusing it goes into
// the block. A crash of the decoder on a damaged file ends only this process.
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "convert/dicom_helper.h"
#include "convert/dicom_result.h"

namespace {

zx::DicomSeriesResult* gResult = nullptr;

/// An allocation the address-space limit refuses: the series is refused
/// in German, whichever decoder call asked for the memory.
void OutOfMemory() {
    static const char text[] =
        "Datei zu groß: die DICOM-Serie braucht mehr Speicher, als der DICOM-Leser hat (2 GiB).";
    std::memcpy(gResult->message, text, sizeof text);
    gResult->status = 1;
    ::_exit(0);
}

/// Bounds the reader: address space (a damaged file that declares gigabytes
/// fails to allocate instead of filling the machine) and processor time (a
/// backstop behind the viewer's wall-clock limit). Sanitizer builds reserve
/// terabytes of shadow address space and keep only the time limit.
void LimitResources() {
#if defined(__SANITIZE_ADDRESS__)
    constexpr bool kAddressLimit = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
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
    if (argc != 5 || std::strcmp(argv[1], "--result-fd") != 0 || std::strcmp(argv[3], "--") != 0) {
        std::fprintf(stderr,
                     "zerebrix-dicom: wird vom Betrachter so gestartet: zerebrix-dicom --result-fd "
                     "FD -- ORDNER\n");
        return 2;
    }
    char* end = nullptr;
    const long fd = std::strtol(argv[2], &end, 10);
    struct stat st {};
    // Never a standard stream: only the descriptor the viewer placed.
    if (end == argv[2] || *end != '\0' || fd <= 2 || fd > 1000000 || ::fstat(int(fd), &st) != 0 ||
        st.st_size < off_t(sizeof(zx::DicomSeriesResult))) {
        std::fprintf(stderr, "zerebrix-dicom: kein Ergebnisblock am Deskriptor %s\n", argv[2]);
        return 2;
    }
    LimitResources();
    void* block = ::mmap(nullptr, sizeof(zx::DicomSeriesResult), PROT_READ | PROT_WRITE, MAP_SHARED,
                         int(fd), 0);
    if (block == MAP_FAILED) return 2;
    gResult = static_cast<zx::DicomSeriesResult*>(block);
    std::set_new_handler(OutOfMemory);
    zx::FillDicomSeriesResult(argv[4], *gResult);
    std::fflush(nullptr);
    ::_exit(0);  // the result is in the block; nothing else to tidy
}
