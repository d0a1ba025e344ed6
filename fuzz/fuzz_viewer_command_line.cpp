// The viewer's command line, one argument a line of the input: it starts
// (with a file or folder that is there, --series only with one, --stop
// only with a lesson and within it) or it ends with 0, 1 or 2 and a
// message. Arguments with a '/' in them name files of a small scratch
// folder: a lesson of two stops, its volume, a folder.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <string>
#include <vector>

#include "fuzz_support.h"

#define ZX_VERSION "fuzz"
#include "app/command_line_parse.cpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string scratch = [] {
        const QString s = QStringLiteral("/dev/shm/zxfuzz-viewer-%1").arg(::getpid());
        QDir().mkpath(s + QStringLiteral("/ordner"));
        QFile volume(s + QStringLiteral("/k.vmr"));
        QFile lesson(s + QStringLiteral("/l.zxl"));
        if (!volume.open(QIODevice::WriteOnly) || !lesson.open(QIODevice::WriteOnly)) std::abort();
        lesson.write(R"({"format": "zerebrix-lesson", "version": 1, "volume": "k.vmr",
                         "stops": [{"title": "a", "text": ""}, {"title": "b", "text": ""}]})");
        return s.toStdString();
    }();
    static const char* kNames[] = {"/k.vmr", "/l.zxl", "/ordner", "/fehlt"};
    std::vector<std::string> args{"zerebrix"};
    std::string a;
    for (std::size_t i = 0; i <= size && args.size() < 12; ++i) {
        if (i < size && data[i] != '\n') {
            a += char(data[i]);
            continue;
        }
        if (a.find('/') != std::string::npos) a = scratch + kNames[a.size() % 4];
        args.push_back(a);
        a.clear();
    }
    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    const zx::CommandLine cl = zx::ParseCommandLine(int(args.size()), argv.data());
    if (cl.exitCode) {
        zxfuzz::Check(*cl.exitCode >= 0 && *cl.exitCode <= 2 && !cl.message.isEmpty());
        return 0;
    }
    zxfuzz::Check(cl.path.isEmpty() || QFileInfo::exists(cl.path));
    zxfuzz::Check(cl.series == 0 || !cl.path.isEmpty());
    zxfuzz::Check(!cl.at || !cl.screenshot.isEmpty());
    if (!cl.options.lesson.isEmpty()) zxfuzz::Check(cl.options.stop <= 2);
    return 0;
}
