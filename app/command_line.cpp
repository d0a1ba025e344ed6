#include "app/command_line.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QTreeWidget>
#include <cstdio>

#include "app/forms.h"
#include "app/main_window.h"
#include "core/volume/runtime_error.h"
#include "dialogs/series_browser.h"
#include "teach/lesson.h"
#include "widgets/prompter.h"

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

/// Messages go to stderr instead of boxes; every dialog is cancelled.
class StderrPrompter : public Prompter {
public:
    bool failed = false;
    int MessageDlg(MsgKind, const QString&, const QString& text, int buttons) override {
        std::fprintf(stderr, "zerebrix: %s\n", text.toUtf8().constData());
        failed = true;
        for (int b : {mbOK, mbCancel, mbYes, mbNo})
            if (buttons & b) return b;
        return mbOK;
    }
    bool OpenFiles(TOpenDialog&) override { return false; }
    bool ChooseFolder(const QString&, QString&) override { return false; }
    bool SaveFile(TSaveDialog&) override { return false; }
    int ShowModal(QDialog& dlg) override {
        // Without a person to choose, several series end the run with the
        // list, as zxconvert gives it.
        if (auto* browser = qobject_cast<TSeriesBrowser*>(&dlg)) {
            std::fprintf(stderr, "zerebrix: %s\n", browser->Label1->text().toUtf8().constData());
            for (int i = 0; i < browser->SeriesList->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* item = browser->SeriesList->topLevelItem(i);
                QStringList row{QString::number(i + 1)};
                for (int c = 1; c < item->columnCount(); ++c) row << item->text(c);
                std::fprintf(stderr, "%s\n", row.join(u'\t').toUtf8().constData());
            }
            std::fprintf(stderr, "zerebrix: --series N wählt die Serie\n");
            failed = true;
        }
        return QDialog::Rejected;
    }
    bool InputQuery(const QString&, const QString&, QString&) override { return false; }
    bool PrintDialog(QPrinter&, int&) override { return false; }
    bool PrinterSetup(QPrinter&) override { return false; }
};

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

int RunScreenshot(const CommandLine& cl) {
    StderrPrompter quiet;
    SetPrompter(&quiet);
    int rc = 0;
    {
        auto forms = StartViewer(cl.path, cl.options, cl.volume);
        TForm1& w = *forms->Form1;
        w.StartSeries = cl.series;
        for (int i = 0; i < 200 && !w.DefaultLoaded; ++i) QApplication::processEvents();
        if (!w.DefaultLoaded) w.FormActivate();
        // A lesson goes to its stop once the volume is shown.
        if (!cl.options.lesson.isEmpty())
            for (int i = 0; i < 10; ++i) QApplication::processEvents();
        if (cl.at && !quiet.failed) {
            // As typed into the coordinate edits: each change, then the key's release.
            w.xg_Ed->setText(QString::number((*cl.at)[0]));
            w.xg_EdKeyUp();
            w.yg_Ed->setText(QString::number((*cl.at)[1]));
            w.yg_EdKeyUp();
            w.zg_Ed->setText(QString::number((*cl.at)[2]));
            w.zg_EdKeyUp();
            // The zoom centres each view on the point, wherever it now is.
            w.Components->ApplyStartOptions(cl.options);
        }
        QApplication::processEvents();
        if (quiet.failed) {
            rc = 1;
        } else {
            QSaveFile out(cl.screenshot);
            if (!out.open(QIODevice::WriteOnly) || !w.ClientPicture().save(&out, "PNG") ||
                !out.commit()) {
                std::fprintf(stderr, "zerebrix: %s kann nicht geschrieben werden\n",
                             cl.screenshot.toUtf8().constData());
                rc = 1;
            }
        }
    }
    SetPrompter(nullptr);
    return rc;
}

}  // namespace zx
