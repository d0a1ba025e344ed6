// The command lines of zxconvert and of the reader program, parsed and run
// in this process. The input is a list of arguments, one a line. Options,
// numbers and the command stay as they are; every other argument names a
// file in a scratch folder (one with a '/' in it, "." or ".." becomes one
// of a few names there), and the scratch folder is the working folder, so
// whatever a command writes stays there (give libFuzzer absolute folder
// names, as run.sh does); the folder is emptied after each input. zxconvert ends
// with 0, 1 or 2 and never throws; the reader program's parser gives a
// descriptor from 3 on and a series number from 1, or refuses.
#include <unistd.h>

#include <QDir>
#include <string>
#include <vector>

#include "convert/dicom_result.h"
#include "fuzz_support.h"

#define ZX_VERSION "fuzz"
#define main ZxconvertMain
#include "convert/zxconvert.cpp"
#undef main
#include "convert/zxconvert_dicom.cpp"

namespace {

/// Whether `a` is an option or a number (or a list of numbers).
bool Kept(const std::string& a) {
    if (a.empty() || a[0] == '-') return true;
    return a.find_first_not_of("0123456789,.+-e") == std::string::npos;
}

std::vector<std::string> Arguments(const QString& scratch, const std::uint8_t* data,
                                   std::size_t size) {
    static const char* kNames[] = {"in.vmr", "out.vmr", "out.bmp", "in.nii",
                                   "ordner", "l.zxl",   "out.png", "out.pdf"};
    const std::string folder = scratch.toStdString() + "/";
    std::vector<std::string> args;
    std::string a;
    for (std::size_t i = 0; i <= size && args.size() < 16; ++i) {
        if (i < size && data[i] != '\n') {
            a += char(data[i]);
            continue;
        }
        if (a.find('/') != std::string::npos || a == "." || a == ".." ||
            a.find('\0') != std::string::npos)
            a = kNames[a.size() % 8];
        args.push_back(args.empty() || Kept(a) ? a : folder + a);
        a.clear();
    }
    return args;
}

}  // namespace

namespace {

const QString& Scratch() {
    static const QString s = QStringLiteral("/dev/shm/zxfuzz-cli-%1").arg(::getpid());
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QDir().mkpath(Scratch());
    if (::chdir(Scratch().toLocal8Bit().constData()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString& scratch = Scratch();
    if (size == 0) return 0;
    const bool reader = data[0] & 1;
    std::vector<std::string> args = Arguments(scratch, data + 1, size - 1);
    args.insert(args.begin(), reader ? "zerebrix-dicom" : "zxconvert");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = int(args.size());
    if (reader) {
        const std::optional<zx::ReaderArguments> r = zx::ParseReaderArguments(argc, argv.data());
        if (r)
            zxfuzz::Check(r->fd >= 3 && r->fd <= 1000000 && r->chosen >= 0 &&
                          r->index == (argc == 6) && r->path == args.back());
        return 0;
    }
    const int rc = ZxconvertMain(argc, argv.data());
    zxfuzz::Check(rc >= 0 && rc <= 2);
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch);
    return 0;
}
