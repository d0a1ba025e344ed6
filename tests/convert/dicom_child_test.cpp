// The DICOM reader child as the viewer and zxconvert start it: each way it
// can fail is refused in German. Small shell stand-ins take the reader's
// place; they write raw bytes of the result block (status, plane count) to
// the descriptor the reader is given.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "convert/dicom_helper.h"
#include "convert/dicom_result.h"
#include "support/temp_dir.h"

namespace {

class DicomChild : public ::testing::Test {
protected:
    zxtest::TempDir dir;
    ~DicomChild() override { ::unsetenv("ZEREBRIX_DICOM_READER"); }

    /// A stand-in reader running `body` under /bin/sh, named in the environment.
    std::string Reader(const char* name, const char* body) {
        const QString path =
            dir.Write(QString::fromLatin1(name), QByteArray("#!/bin/sh\n") + body + '\n');
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ::setenv("ZEREBRIX_DICOM_READER", path.toLocal8Bit().constData(), 1);
        return path.toStdString();
    }

    std::string Refusal(std::chrono::milliseconds limit = std::chrono::milliseconds(20000)) {
        try {
            zx::ConvertDicomSeriesApart(dir.Root().toStdString(), limit);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "accepted";
    }
};

/// A shell command writing the block's head to the reader's descriptor:
/// status, files done, files in all, planes (4 bytes each), the voxel edge
/// (a double), in the host's byte order.
std::string Block(int status, int planes, double edge) {
    struct {
        std::int32_t status, done, total, planes;
        double edge;
    } head{status, 0, 0, planes, edge};
    unsigned char bytes[sizeof head];
    std::memcpy(bytes, &head, sizeof head);
    std::string command = "printf '";
    for (unsigned char c : bytes) {
        char octal[8];
        std::snprintf(octal, sizeof octal, "\\%03o", unsigned(c));
        command += octal;
    }
    return command + "' >&3";
}

TEST_F(DicomChild, EveryFailureOfTheReaderIsRefusedInGerman) {
    const std::string good = Block(0, 5, 1.0);  // a block that would pass on its own
    Reader("crash", (good + "; kill -SEGV $$").c_str());
    EXPECT_NE(Refusal().find("an der der DICOM-Leser scheitert"), std::string::npos) << Refusal();
    Reader("fails", (good + "; exit 3").c_str());
    EXPECT_NE(Refusal().find("an der der DICOM-Leser scheitert"), std::string::npos) << Refusal();

    // Planes, status and voxel edge outside what a reader can give: 300
    // planes, status 7, edges that are infinite, NaN, negative, subnormal.
    for (const std::string& wrong :
         {Block(0, 300, 1.0), Block(7, 5, 1.0), Block(0, 5, HUGE_VAL), Block(0, 5, std::nan("")),
          Block(0, 5, -1.0), Block(0, 5, 5e-324)}) {
        Reader("wrong", wrong.c_str());
        EXPECT_NE(Refusal().find("ein unbrauchbares Ergebnis geliefert"), std::string::npos)
            << wrong << ": " << Refusal();
    }
    Reader("silent", "exit 0");  // the block left as the viewer prepared it
    EXPECT_NE(Refusal().find("ein unbrauchbares Ergebnis geliefert"), std::string::npos)
        << Refusal();
    Reader("right", good.c_str());  // the stand-in's block itself is taken
    EXPECT_EQ(Refusal(), "accepted");

    ::setenv("ZEREBRIX_DICOM_READER", dir.Path(QStringLiteral("missing")).toLocal8Bit().constData(),
             1);
    EXPECT_NE(Refusal().find("kann nicht gestartet werden"), std::string::npos) << Refusal();

    Reader("hangs", "exec sleep 30");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_NE(Refusal(std::chrono::milliseconds(300)).find("nicht innerhalb von 1 s gelesen"),
              std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

TEST_F(DicomChild, TheReaderWritesIntoNoFileButTheViewersBlock) {
    // An ordinary file at the result descriptor, of the block's very size
    // and with the viewer's mark in place: refused with exit 2 and left
    // byte for byte, whether the folder exists or not.
    const std::string reader = zx::DicomReaderPath();
    ASSERT_FALSE(reader.empty());
    QByteArray bytes(int(sizeof(zx::DicomSeriesResult)), 'x');
    std::memcpy(bytes.data() + bytes.size() - sizeof zx::kDicomResultMark, &zx::kDicomResultMark,
                sizeof zx::kDicomResultMark);
    const QString file = dir.Write(QStringLiteral("block"), bytes);
    for (const QString& folder : {dir.Root(), dir.Path(QStringLiteral("missing"))}) {
        const std::string command = "'" + reader + "' --result-fd 3 -- '" + folder.toStdString() +
                                    "' 3<>'" + file.toStdString() + "' 2>/dev/null";
        const int rc = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 2) << rc;
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == bytes);
    }
}

TEST_F(DicomChild, AnIndexTakesNoThumbnailsBeyondTheBlock) {
    // More entries than the block has room for thumbnails, and a thumbnail
    // count past them: the thumbnails beyond the block are black.
    auto block = std::make_unique<zx::DicomSeriesResult>();
    std::string text;
    for (std::size_t i = 0; i < zx::kMaxIndexThumbnails + 5; ++i)
        text += "0\t8\t8\t2\t1\t1\t1\t\t\t\t\t\t\tMR\t1.2\n";
    std::memcpy(block->voxels, text.data(), text.size());
    std::memset(block->voxels + zx::kIndexTextBytes, 7, sizeof block->voxels - zx::kIndexTextBytes);
    block->thumbnails = 1 << 30;
    const zx::DicomFolderIndex index = zx::TakeDicomIndexResult("/cd", *block, true);
    ASSERT_EQ(index.thumbnails.size(), zx::kMaxIndexThumbnails + 5);
    EXPECT_EQ(index.thumbnails[zx::kMaxIndexThumbnails - 1][0], 7);
    EXPECT_EQ(index.thumbnails.back(), std::vector<std::uint8_t>(4096, 0));
}

TEST_F(DicomChild, ZxconvertReportsTheReadersFailure) {
    const std::string reader = Reader("crash", "kill -SEGV $$");
    QProcess p;
    p.start(QStringLiteral(ZXCONVERT_PATH),
            {QStringLiteral("dicom-series"), dir.Root(), dir.Path(QStringLiteral("out.vmr"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError())
                    .contains(QStringLiteral("DICOM-Leser scheitert")));
    EXPECT_FALSE(QFile::exists(dir.Path(QStringLiteral("out.vmr"))));
}

/// The two words after `name` in /proc/PID/`file`: the soft and hard
/// values of a limit ("Max cpu time"), or a size and its unit ("VmSize:").
std::pair<std::string, std::string> ProcField(pid_t pid, const char* file,
                                              const std::string& name) {
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    if (!f.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(QByteArray::fromStdString(name))) {
            const QList<QByteArray> words =
                line.mid(qsizetype(name.size())).simplified().split(' ');
            if (words.size() >= 2) return {words[0].toStdString(), words[1].toStdString()};
        }
    return {};
}

/// The MINC reader this process started (the one child named so).
pid_t ReaderChild() {
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> after = text.mid(close + 2).split(' ');
        if (text.contains("(zerebrix-minc)") && after.size() > 1 && after[1].toInt() == ::getpid())
            return pid_t(entry.toInt());
    }
    return 0;
}

/// Starts the real reader as the viewer does on a named pipe in place of a
/// MINC file, hands its process to `look` while it waits on the pipe, then
/// ends it; returns the refusal.
std::string WhileTheReaderWaits(const zxtest::TempDir& dir,
                                const std::function<void(pid_t)>& look) {
    const std::string fifo = dir.Path(QStringLiteral("slow.mnc")).toStdString();
    if (::mkfifo(fifo.c_str(), 0600) != 0) return "no pipe";
    std::string refusal = "accepted";
    std::thread reading([&] {
        try {
            zx::ConvertMincApart(fifo, 1, std::chrono::milliseconds(20000));
        } catch (const std::exception& e) {
            refusal = e.what();
        }
    });
    // A writer opens without waiting once the reader has the pipe open.
    int writer = -1;
    for (int i = 0; i < 1500 && writer < 0; ++i) {
        writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const pid_t pid = writer >= 0 ? ReaderChild() : 0;
    look(pid);
    if (pid > 0) ::kill(pid, SIGKILL);  // refused then as a reader that failed
    if (writer >= 0) ::close(writer);
    reading.join();
    return refusal;
}

TEST_F(DicomChild, TheReaderRunsWithinTwoGibibytesAndAMinuteOfProcessorTime) {
    std::pair<std::string, std::string> space, cpu;
    const std::string refusal = WhileTheReaderWaits(dir, [&](pid_t pid) {
        ASSERT_NE(pid, 0);
        space = ProcField(pid, "limits", "Max address space");
        cpu = ProcField(pid, "limits", "Max cpu time");
    });
#if !defined(__SANITIZE_ADDRESS__)  // sanitizer builds keep the address space open
    EXPECT_EQ(space, std::make_pair(std::string("2147483648"), std::string("2147483648")));
#endif
    EXPECT_EQ(cpu, std::make_pair(std::string("65"), std::string("70")));
    EXPECT_NE(refusal.find("an der das Lesen scheitert"), std::string::npos) << refusal;
}

#if !defined(__SANITIZE_ADDRESS__)
// A MINC plane of 64 MiB floats beyond the reader's address space: the
// reader is given 32 MiB more than it holds while it opens a file (its
// libraries loaded), and refuses the file in German.
TEST_F(DicomChild, AFileBeyondTheReadersMemoryIsRefusedAsTooLarge) {
    if (!QFile::exists(QStringLiteral("/usr/bin/rawtominc")))
        GTEST_SKIP() << "minc-tools is not installed";
    const std::string reader = zx::DicomReaderPath("zerebrix-minc");
    long long heldKb = 0;
    WhileTheReaderWaits(dir, [&](pid_t pid) {
        heldKb = std::atoll(ProcField(pid, "status", "VmSize:").first.c_str());
    });
    ASSERT_GT(heldKb, 0);
    const QString big = dir.Path(QStringLiteral("big.mnc"));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("rawtominc"),
                          {QStringLiteral("-2"), QStringLiteral("-byte"), QStringLiteral("-input"),
                           QStringLiteral("/dev/zero"), big, QStringLiteral("1"),
                           QStringLiteral("4096"), QStringLiteral("4096")}),
        0);
    Reader(
        "tight",
        ("ulimit -v " + std::to_string(heldKb + 32768) + "; exec '" + reader + "' \"$@\"").c_str());
    std::string refusal = "accepted";
    try {
        zx::ConvertMincApart(big.toStdString());
    } catch (const std::exception& e) {
        refusal = e.what();
    }
    EXPECT_EQ(refusal,
              "Datei zu groß: die MINC-Datei braucht mehr Speicher, als der Leser hat (2 GiB).");
}
#endif

}  // namespace
