// zerebrix-dicom: reads one DICOM series for the viewer, in a process of its
// own. The viewer hands over a shared memory block (a descriptor number) and
// the folder; the converted volume or the reason for refusing it goes into
// the block. A crash of the decoder on a damaged file ends only this process.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "convert/dicom_result.h"

int main(int argc, char** argv) {
    if (argc != 5 || std::strcmp(argv[1], "--result-fd") != 0 || std::strcmp(argv[3], "--") != 0) {
        std::fprintf(
            stderr,
            "zerebrix-dicom: started by the viewer as: zerebrix-dicom --result-fd FD -- FOLDER\n");
        return 2;
    }
    char* end = nullptr;
    const long fd = std::strtol(argv[2], &end, 10);
    struct stat st {};
    // Never a standard stream: only the descriptor the viewer placed.
    if (end == argv[2] || *end != '\0' || fd <= 2 || fd > 1000000 || ::fstat(int(fd), &st) != 0 ||
        st.st_size < off_t(sizeof(zx::DicomSeriesResult))) {
        std::fprintf(stderr, "zerebrix-dicom: no result block at descriptor %s\n", argv[2]);
        return 2;
    }
    void* block = ::mmap(nullptr, sizeof(zx::DicomSeriesResult), PROT_READ | PROT_WRITE, MAP_SHARED,
                         int(fd), 0);
    if (block == MAP_FAILED) return 2;
    zx::FillDicomSeriesResult(argv[4], *static_cast<zx::DicomSeriesResult*>(block));
    std::fflush(nullptr);
    ::_exit(0);  // the result is in the block; nothing else to tidy
}
