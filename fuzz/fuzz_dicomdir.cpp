// DICOMDIR records: the input is the DICOMDIR of a small folder (two
// files in a subfolder). The files it yields all lie inside the folder and
// are regular files, whatever the records name (.., absolute paths, other
// letter cases, files that are missing).
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <cstdio>

#include "convert/dicom_index.h"
#include "fuzz_support.h"

// The harness's own code is built with NDEBUG: an assertion that fails is
// GDCM's (contained by the reader program in production), an expected
// refusal that ends this job quietly; run with -fork=1.
extern "C" [[noreturn]] void __assert_fail(const char* assertion, const char* file,
                                           unsigned int line, const char*) noexcept {
    std::fprintf(stderr, "fuzz_dicomdir: library assertion, an expected refusal: %s:%u: %s\n", file,
                 line, assertion);
    _exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString folder = [] {
        const QString f = QStringLiteral("/dev/shm/zxfuzz-dicomdir-%1").arg(::getpid());
        QDir().mkpath(f + QStringLiteral("/IMAGES"));
        for (const char* name : {"/IMAGES/IM1", "/IMAGES/IM2"}) {
            QFile file(f + QString::fromLatin1(name));
            if (!file.open(QIODevice::WriteOnly)) std::abort();
            file.write(QByteArray(200, 'x'));
        }
        return f;
    }();
    const std::string root = folder.toStdString() + "/";
    const std::string dicomdir = root + "DICOMDIR";
    {
        QFile f(QString::fromStdString(dicomdir));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        for (const std::string& file : zx::FindDicomFiles(dicomdir)) {
            struct stat st {};
            zxfuzz::Check(file.compare(0, root.size(), root) == 0 &&
                          file.find("/../") == std::string::npos && file != dicomdir &&
                          ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode));
        }
    } catch (const zx::ConvertError&) {
    }
    return 0;
}
