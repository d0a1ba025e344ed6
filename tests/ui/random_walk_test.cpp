// A seeded random walk through the real main window: presses, moves and
// releases with every modifier, the wheel and keys, typing, buttons, menu
// commands with random answers, window modes, the 3-D view and the display
// window, good and bad files (volume, NIfTI and DICOM, opened or dropped). After every event the
// viewer's state must still be sound, and every 25 events each section picture must show a plane of
// the volume (checked pixel by pixel against the volume itself; at the end every coronal and
// transversal plane as the window draws it). ZX_WALK_EVENTS and ZX_WALK_SEED choose a longer or
// another walk.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <random>

#include "components/display_window/display_window_tool.h"
#include "components/view3d/view3d.h"
#include "dialogs/options_dialog.h"
#include "import/new_bmp_form.h"
#include "support/app_fixture.h"
#include "support/section_oracle.h"
#include "support/small_volumes.h"
#include "widgets/image_view.h"
#include "widgets/up_down.h"

namespace {

class RandomWalk : public zxtest::AppFixture {
protected:
    std::mt19937 rng;
    int Pick(int n) { return int(rng() % unsigned(n)); }
    template <class T>
    const T& Any(const std::vector<T>& v) {
        return v[std::size_t(Pick(int(v.size())))];
    }

    QStringList files;  // what the open dialog may answer
    QString serie;      // a DICOM series folder
    void Prepare() {
        files << dir.Write(QStringLiteral("gut.vmr"), zxtest::Pattern(100 * 65536, 2));
        files << dir.Write(QStringLiteral("kopf.nii"), zxtest::SmallNifti());
        serie = zxtest::SmallDicomSeries(dir);
        QDir(dir.Root()).mkdir(QStringLiteral("ordner.vmr"));
        files << dir.Path(QStringLiteral("ordner.vmr"));
        files << dir.Write(QStringLiteral("text.txt"), QByteArray("kein Bild"));
        files << dir.Write(QStringLiteral("leer.vmr"), QByteArray());
        QImage pic(40, 30, QImage::Format_RGB32);
        pic.fill(qRgb(90, 10, 10));
        for (const char* n : {"a.bmp", "b.bmp"}) pic.save(dir.Path(QString::fromLatin1(n)), "BMP");
    }

    void Answer() {
        prompter.openAnswers.clear();
        prompter.saveAnswers.clear();
        prompter.inputAnswers.clear();
        prompter.modalAnswers.clear();
        prompter.folderAnswers.clear();
        switch (Pick(5)) {
            case 0:
                prompter.openAnswers.push_back(std::nullopt);
                break;
            case 1:
                prompter.openAnswers.push_back(QStringList{dir.Path(QStringLiteral("a.bmp")),
                                                           dir.Path(QStringLiteral("b.bmp"))});
                break;
            default:
                prompter.openAnswers.push_back(QStringList{files[Pick(int(files.size()))]});
        }
        prompter.saveAnswers.push_back(
            Pick(2) ? std::optional<QString>(dir.Path(QStringLiteral("gespeichert")))
                    : std::nullopt);
        prompter.folderAnswers.push_back(
            Any<std::optional<QString>>({std::nullopt, dir.Root(), serie}));
        const bool accept = Pick(2);
        prompter.modalAnswers.push_back([accept](QDialog& d) {
            if (auto* w = qobject_cast<zx::TNewBmpForm*>(&d); w && accept) {
                w->OKButton->click();
                return d.result();
            }
            return int(accept ? QDialog::Accepted : QDialog::Rejected);
        });
    }

    zx::TImage* View() { return Any<zx::TImage*>({form->Image1, form->Image2, form->Image3}); }
    QPoint Somewhere() { return {Pick(300) - 20, Pick(300) - 20}; }

    void Step() {
        const int kind = Pick(100);
        if (kind < 40) {
            const Qt::MouseButton b = Any<Qt::MouseButton>(
                {Qt::LeftButton, Qt::LeftButton, Qt::RightButton, Qt::MiddleButton});
            const Qt::KeyboardModifiers m =
                Any<Qt::KeyboardModifiers>({Qt::NoModifier, Qt::NoModifier, Qt::ShiftModifier,
                                            Qt::ControlModifier, Qt::AltModifier});
            zx::TImage* v = View();
            switch (Pick(4)) {
                case 0:
                    QTest::mousePress(v, b, m, Somewhere());
                    break;
                case 1:
                    QTest::mouseRelease(v, b, m, Somewhere());
                    break;
                case 2:
                    QTest::mouseDClick(v, b, m, Somewhere());
                    break;
                default:
                    QTest::mouseMove(v, Somewhere());
                    break;
            }
        } else if (kind < 48) {
            QWheelEvent e(QPointF(50, 50), QPointF(50, 50), QPoint(),
                          QPoint(0, 120 * (Pick(5) - 2)), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(View(), &e);
        } else if (kind < 55) {
            QWidget* target = Pick(3) ? static_cast<QWidget*>(form) : form->xg_Ed;
            target->setFocus();
            QTest::keyClick(target,
                            Any<Qt::Key>({Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down,
                                          Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_5}));
        } else if (kind < 65) {
            QLineEdit* ed =
                Any<QLineEdit*>({form->xg_Ed, form->yg_Ed, form->zg_Ed, forms->OptDlg->CrossLen,
                                 forms->OptDlg->CrossThick, forms->OptDlg->CrossGap});
            ed->setText(Any<QString>({QString(), QStringLiteral("-5"), QStringLiteral("300"),
                                      QStringLiteral("abc"), QString::number(Pick(256)),
                                      QString::number(Pick(12))}));
            QTest::keyRelease(ed, Qt::Key_0);
        } else if (kind < 77) {
            switch (Pick(8)) {
                case 0:
                    form->InvertButton->click();
                    break;
                case 1:
                    form->ShowLBButton->click();
                    break;
                case 2:
                    form->LupeBtn->click();
                    break;
                case 3:
                    form->BackBtn->click();
                    break;
                case 4:
                    form->NextBtn->click();
                    break;
                case 5:
                    form->LupeFak_Up->ClickUp();
                    break;
                case 6:
                    Any<zx::TUpDown*>({form->xg_Up, form->yg_Up, form->zg_Up})->ClickDown();
                    break;
                default:
                    Any<zx::TUpDown*>({form->xg_Up, form->yg_Up, form->zg_Up})->ClickUp();
                    break;
            }
        } else if (kind < 83) {
            zx::TView3D& v = *zxtest::Component<zx::TView3D>(form);
            switch (Pick(4)) {
                case 0:
                    v.Ansicht3D1->trigger();
                    break;
                case 1:
                    v.ModeBox->setCurrentIndex(Pick(3));
                    break;
                case 2:
                    QTest::mousePress(v.Canvas, Qt::LeftButton, Qt::NoModifier, Somewhere());
                    QTest::mouseMove(v.Canvas, Somewhere());
                    QTest::mouseRelease(v.Canvas, Qt::LeftButton, Qt::NoModifier, Somewhere());
                    break;
                default:
                    v.ResetButton->click();
                    break;
            }
        } else if (kind < 88) {
            zx::TDisplayWindowTool& w = *zxtest::Component<zx::TDisplayWindowTool>(form);
            if (Pick(3) == 0) {
                Any<QPushButton*>({w.ResetButton, w.AutoButton})->click();
            } else {
                Any<QSpinBox*>({w.WidthEdit, w.CentreEdit})->setValue(Pick(300) - 20);
            }
        } else if (kind < 89) {
            Answer();  // a stack of pictures asks for its depth
            std::vector<QString> one(files.begin(), files.end());
            one.push_back(serie);
            Drop(Pick(4) ? QStringList{Any(one)}
                         : QStringList{dir.Path(QStringLiteral("a.bmp")),
                                       dir.Path(QStringLiteral("b.bmp"))});
        } else {
            Answer();
            QAction* a = Any<QAction*>(
                {form->ffnen1, form->NiftiOeffnen1, form->DicomSerieOeffnen1, form->Neu1,
                 form->DatenImport1, form->Speichern1, form->Speichernunter1, form->Exportieren1,
                 form->InsWebexportieren1, form->Spotsetzen2, form->normal1, form->vergroessert1,
                 form->Optionen1, form->Drucken1, form->Info1});
            a->trigger();
        }
    }

    void CheckSound(int event) {
        for (int c : {form->Xg, form->Yg, form->Zg})
            ASSERT_TRUE(c >= 0 && c <= 255) << "event " << event;
        ASSERT_GE(form->SliceCount, 0) << "event " << event;
        ASSERT_GE(form->SliceOffset, 0) << "event " << event;
        ASSERT_LE(form->SliceOffset + form->SliceCount, 256) << "event " << event;
        for (const QImage* b : {&form->SagBmp, &form->CorBmp, &form->TraBmp}) {
            ASSERT_EQ(b->size(), QSize(256, 256)) << "event " << event;
            ASSERT_EQ(b->format(), QImage::Format_RGB32) << "event " << event;
        }
        if (event % 25 == 0) {
            ASSERT_TRUE(zxtest::SectionsShowSomePlanes(*form)) << "event " << event;
        }
    }
};

TEST_F(RandomWalk, SeededEventsKeepTheStateSound) {
    WriteDefault(180, 3);
    Prepare();
    Start();
    const int events = qEnvironmentVariableIsSet("ZX_WALK_EVENTS")
                           ? qEnvironmentVariableIntValue("ZX_WALK_EVENTS")
                           : 2500;
    rng.seed(qEnvironmentVariableIsSet("ZX_WALK_SEED")
                 ? unsigned(qEnvironmentVariableIntValue("ZX_WALK_SEED"))
                 : 1u);
    for (int i = 0; i < events; ++i) {
        Step();
        CheckSound(i);
        if (HasFatalFailure()) return;
    }
    EXPECT_TRUE(zxtest::AllPlanesShowVolume(*form));
}

}  // namespace
