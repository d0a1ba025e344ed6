// The viewer's command line read into a CommandLine; nothing of the
// viewer's windows is needed for it.
#include <QFileInfo>

#include "app/command_line.h"
#include "core/volume/runtime_error.h"
#include "teach/lesson.h"

namespace zx {
namespace {

const char kUsage[] =
    "Aufruf:\n"
    "  zerebrix [--series N] [--volume N] [DATEI | ORDNER | DICOMDIR]\n"
    "      startet den Betrachter mit einer Volumendatei (.vmr), einer Datei anderer\n"
    "      Programme (NIfTI .nii/.hdr/.img, Analyze 7.5, MGH/MGZ, NRRD, MetaImage,\n"
    "      MINC), einem Ordner mit DICOM-Serien oder einer DICOMDIR statt MR_Kopf.vmr;\n"
    "      --series N wählt die Serie N (wie zxconvert dicom-series --list)\n"
    "  --volume N\n"
    "      zeigt von einer 4-D-Datei das N-te Volumen (sonst das erste)\n"
    "  zerebrix --screenshot BILD.png [--zoom F] [--at X,Y,Z] [--series N]\n"
    "           [DATEI | ORDNER | DICOMDIR]\n"
    "      speichert ein Bild des Fensters (ohne Bildschirm möglich) und endet;\n"
    "      mit --zoom F die Schnittbilder F-fach vergrößert um den Punkt\n"
    "  zerebrix [--screenshot BILD.png] --lesson LEKTION.zxl [--stop N]\n"
    "      öffnet eine Lektion mit ihrem Volumen und zeigt ihren Halt N (ab 1)\n"
    "  --neurological\n"
    "      zeigt die linke Körperseite links (sonst radiologisch: rechts)\n"
    "  zerebrix --help | --version\n";

CommandLine Ends(int code, const QString& message) {
    CommandLine cl;
    cl.exitCode = code;
    cl.message = message;
    return cl;
}

CommandLine Misuse(const QString& what) {
    return Ends(2, QStringLiteral("zerebrix: ") + what + u'\n' + QString::fromUtf8(kUsage));
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine cl;
    bool stopGiven = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return Ends(0, QString::fromUtf8(kUsage));
        if (a == QLatin1String("--version"))
            return Ends(0, QStringLiteral("zerebrix (Zerebrix-MR) " ZX_VERSION "\n"));
        if (a == QLatin1String("--neurological")) {
            cl.options.neurological = true;
            continue;
        }
        if (a == QLatin1String("--series")) {
            bool ok = i + 1 < argc;
            const int n = ok ? QString::fromLocal8Bit(argv[++i]).toInt(&ok) : 0;
            if (!ok || n < 1) return Misuse(QStringLiteral("--series erwartet eine Nummer ab 1"));
            cl.series = n;
            continue;
        }
        if (a == QLatin1String("--volume")) {
            bool ok = i + 1 < argc;
            const int n = ok ? QString::fromLocal8Bit(argv[++i]).toInt(&ok) : 0;
            if (!ok || n < 1)
                return Misuse(QStringLiteral("--volume erwartet eine ganze Zahl ab 1"));
            cl.volume = n;
            continue;
        }
        if (a == QLatin1String("--zoom")) {
            bool ok = i + 1 < argc;
            const int f = ok ? QString::fromLocal8Bit(argv[++i]).toInt(&ok) : 0;
            if (!ok || f < 1 || f > 8)
                return Misuse(QStringLiteral("--zoom erwartet einen ganzen Faktor von 1 bis 8"));
            cl.options.zoom = f;
            continue;
        }
        if (a == QLatin1String("--lesson") || a == QLatin1String("--stop")) {
            if (i + 1 >= argc) return Misuse(a + QStringLiteral(" braucht einen Wert"));
            const QString value = QString::fromLocal8Bit(argv[++i]);
            if (a == QLatin1String("--lesson")) {
                cl.options.lesson = value;
                continue;
            }
            bool ok = false;
            cl.options.stop = value.toInt(&ok);
            if (!ok || cl.options.stop < 1)
                return Misuse(QStringLiteral("--stop erwartet eine Haltnummer ab 1"));
            stopGiven = true;
            continue;
        }
        if (a == QLatin1String("--screenshot") || a == QLatin1String("--at")) {
            if (i + 1 >= argc) return Misuse(a + QStringLiteral(" braucht einen Wert"));
            const QString value = QString::fromLocal8Bit(argv[++i]);
            if (a == QLatin1String("--screenshot")) {
                if (value.isEmpty())
                    return Misuse(QStringLiteral("--screenshot braucht einen Dateinamen"));
                cl.screenshot = value;
                continue;
            }
            const QStringList xyz = value.split(u',');
            std::array<int, 3> p{};
            bool ok = xyz.size() == 3;
            for (int k = 0; ok && k < 3; ++k) {
                p[std::size_t(k)] = xyz[k].toInt(&ok);
                ok = ok && p[std::size_t(k)] >= 0 && p[std::size_t(k)] <= 255;
            }
            if (!ok)
                return Misuse(
                    QStringLiteral("--at erwartet X,Y,Z mit Werten von 0 bis 255, nicht '%1'")
                        .arg(value));
            cl.at = p;
            continue;
        }
        if (a.startsWith(u'-') && a.size() > 1)
            return Misuse(QStringLiteral("unbekannte Option '%1'").arg(a));
        if (!cl.path.isEmpty()) return Misuse(QStringLiteral("nur eine Datei oder ein Ordner"));
        if (!QFileInfo::exists(a))
            return Misuse(QStringLiteral("Datei oder Ordner nicht gefunden: %1").arg(a));
        cl.path = a;
    }
    if (cl.series && cl.path.isEmpty())
        return Misuse(QStringLiteral("--series gilt nur mit einem DICOM-Ordner oder DICOMDIR"));
    if (cl.at && cl.screenshot.isEmpty())
        return Misuse(QStringLiteral("--at gilt nur mit --screenshot"));
    if (stopGiven && cl.options.lesson.isEmpty())
        return Misuse(QStringLiteral("--stop gilt nur mit --lesson"));
    if (!cl.options.lesson.isEmpty()) {
        // The lesson's volume is the one to open; a lesson that cannot be
        // read, a missing volume or a stop it does not have end the start.
        try {
            const Lesson lesson = ReadLesson(cl.options.lesson);
            const QString volume = LessonVolumePath(cl.options.lesson, lesson);
            if (!QFileInfo(volume).isFile())
                return Ends(1, QStringLiteral("zerebrix: ") + MissingVolumeText(volume) + u'\n');
            if (cl.options.stop > int(lesson.stops.size()))
                return Misuse(QStringLiteral("die Lektion hat %1 Halte, nicht %2")
                                  .arg(lesson.stops.size())
                                  .arg(cl.options.stop));
            if (!cl.path.isEmpty())
                return Misuse(QStringLiteral("--lesson öffnet das Volumen der Lektion selbst"));
            cl.path = volume;
        } catch (const RuntimeError& e) {
            return Ends(1, QStringLiteral("zerebrix: ") + e.text() + u'\n');
        }
    }
    return cl;
}

}  // namespace zx
