// zxconvert: the viewer's file conversions for batch use and scripts.
//
//   zxconvert phantom OUT.vmr
//   zxconvert section VOLUME.vmr (--sag X | --cor Y | --tra Z) OUT.bmp
//   zxconvert stack (--sag | --cor | --tra) [--depth D] OUT.vmr IN1.bmp IN2.bmp ...
//   zxconvert nifti IN.nii[.gz] OUT.vmr
//
// Every command goes through the same reader, renderer and stack assembly
// as the viewer. Failures print a message on stderr, exit non-zero and
// leave no output file behind.
#include <QFile>
#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/render/sections.h"
#include "app/volume/bmp_stack.h"
#include "app/volume/runtime_error.h"
#include "app/volume/vmr_file.h"
#include "app/volume/volume.h"
#include "convert/nifti.h"
#include "convert/phantom.h"

namespace {

using zx::kEdge;

struct UsageError {
    QString text;
};

const char kUsage[] =
    "usage:\n"
    "  zxconvert phantom OUT.vmr\n"
    "  zxconvert section VOLUME.vmr (--sag X | --cor Y | --tra Z) OUT.bmp\n"
    "  zxconvert stack (--sag | --cor | --tra) [--depth D] OUT.vmr IN1.bmp IN2.bmp ...\n"
    "  zxconvert nifti IN.nii[.gz] OUT.vmr\n";

int ParseInt(const QString& text, int lo, int hi, const char* what) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < lo || v > hi) {
        throw UsageError{QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'")
                             .arg(QString::fromLatin1(what))
                             .arg(lo)
                             .arg(hi)
                             .arg(text)};
    }
    return v;
}

/// Runs `f`, naming `path` in the message of a runtime error it raises.
template <class F>
auto InFile(const QString& path, F f) {
    try {
        return f();
    } catch (const zx::RuntimeError& e) {
        throw zx::RuntimeError(path + QStringLiteral(": ") + e.text());
    }
}

int Phantom(const QStringList& a) {
    if (a.size() != 1) throw UsageError{QStringLiteral("phantom takes one output file")};
    const std::vector<std::uint8_t> v = zx::MakeHeadPhantom();
    InFile(a[0], [&] { zx::WriteVmr(a[0], v.data(), kEdge); });
    return 0;
}

int Section(const QStringList& a) {
    if (a.size() != 4) throw UsageError{QStringLiteral("section takes VOLUME, one plane option and OUT")};
    const QString& opt = a[1];
    if (opt != QLatin1String("--sag") && opt != QLatin1String("--cor") &&
        opt != QLatin1String("--tra")) {
        throw UsageError{QStringLiteral("unknown plane option '%1'").arg(opt)};
    }
    const int plane = ParseInt(a[2], 0, 255, "the plane");
    std::vector<std::uint8_t> volume(zx::kVolumeBytes, 0);
    const int count = InFile(a[0], [&] { return zx::ReadVmr(a[0], volume.data()); });
    const int offset = (kEdge - count) / 2;
    QImage bmp = zx::NewSectionBitmap();
    if (opt == QLatin1String("--sag")) zx::RenderSagittal(volume.data(), plane, bmp);
    if (opt == QLatin1String("--cor")) zx::RenderCoronal(volume.data(), plane, count, offset, bmp);
    if (opt == QLatin1String("--tra")) zx::RenderTransversal(volume.data(), plane, count, offset, bmp);
    const QString tmp = a[3] + QStringLiteral(".part");
    if (!bmp.convertToFormat(QImage::Format_RGB888).save(tmp, "BMP") ||
        !(QFile::remove(a[3]) || !QFile::exists(a[3])) || !QFile::rename(tmp, a[3])) {
        QFile::remove(tmp);
        throw zx::RuntimeError(QStringLiteral("cannot write '%1'").arg(a[3]));
    }
    return 0;
}

int Stack(const QStringList& a) {
    int i = 0;
    std::optional<zx::Orientation> o;
    int depth = 1;
    for (; i < a.size() && a[i].startsWith(QLatin1String("--")); ++i) {
        if (a[i] == QLatin1String("--sag")) o = zx::Orientation::Sag;
        else if (a[i] == QLatin1String("--cor")) o = zx::Orientation::Cor;
        else if (a[i] == QLatin1String("--tra")) o = zx::Orientation::Tra;
        else if (a[i] == QLatin1String("--depth") && i + 1 < a.size()) depth = ParseInt(a[++i], 1, 4, "the depth");
        else throw UsageError{QStringLiteral("unknown option '%1'").arg(a[i])};
    }
    if (!o) throw UsageError{QStringLiteral("stack needs --sag, --cor or --tra")};
    if (a.size() - i < 3) throw UsageError{QStringLiteral("stack needs OUT.vmr and at least two pictures")};
    const QString out = a[i];
    const QStringList files = a.mid(i + 1);
    const int t = zx::StackDepthTotal(int(files.size()), depth);
    if (t > 255) throw UsageError{QStringLiteral("too many planes: %1 pictures x depth %2 = %3, at most 255").arg(files.size()).arg(depth).arg(t)};
    std::vector<std::uint8_t> volume(zx::kVolumeBytes, 0);
    int done = 0;  // pictures read so far: a failure names the next one
    try {
        zx::AssembleStack(files, depth, *o, volume.data(), [&](int i, const QString&) { done = i + 1; });
    } catch (const zx::RuntimeError& e) {
        throw zx::RuntimeError(files.value(done) + QStringLiteral(": ") + e.text());
    }
    InFile(out, [&] { zx::WriteVmr(out, volume.data(), zx::StackSliceCount(t, *o)); });
    return 0;
}

int Nifti(const QStringList& a) {
    if (a.size() != 2) throw UsageError{QStringLiteral("nifti takes IN and OUT.vmr")};
    const zx::NiftiVolume v = zx::ConvertNifti(QFile::encodeName(a[0]).toStdString());
    InFile(a[1], [&] { zx::WriteVmr(a[1], v.voxels.data(), v.planes); });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    try {
        if (args.isEmpty()) throw UsageError{QStringLiteral("no command given")};
        const QString cmd = args.takeFirst();
        if (cmd == QLatin1String("phantom")) return Phantom(args);
        if (cmd == QLatin1String("section")) return Section(args);
        if (cmd == QLatin1String("stack")) return Stack(args);
        if (cmd == QLatin1String("nifti")) return Nifti(args);
        throw UsageError{QStringLiteral("unknown command '%1'").arg(cmd)};
    } catch (const UsageError& e) {
        std::fprintf(stderr, "zxconvert: %s\n%s", qPrintable(e.text), kUsage);
        return 2;
    } catch (const zx::RuntimeError& e) {
        std::fprintf(stderr, "zxconvert: %s\n", e.text().toUtf8().constData());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zxconvert: %s\n", e.what());
        return 1;
    }
}
