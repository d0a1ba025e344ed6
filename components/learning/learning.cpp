#include "components/learning/learning.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QtMath>
#include <random>

#include "core/texts.h"
#include "widgets/guard.h"
#include "widgets/image_view.h"
#include "widgets/prompter.h"
#include "widgets/readout.h"
#include "widgets/status_bar.h"
#include "widgets/tool_window.h"

namespace zx {

namespace {
const char kOnlyStandardHead[] = "Atlas passt nur zum Standardkopf";
}  // namespace

TLearning::TLearning(const ViewerContext& context, QObject* parent) : TComponent(context, parent) {
    QMainWindow* const main = viewer.window;
    Lernen1 = new QMenu(QStringLiteral("&Lernen"), main);
    Lernen1->setObjectName(QStringLiteral("Lernen1"));
    viewer.menuBar->insertMenu(viewer.helpMenu->menuAction(), Lernen1);
    AtlasAnzeigen1 = Lernen1->addAction(QStringLiteral("&Atlas anzeigen"));
    AtlasAnzeigen1->setObjectName(QStringLiteral("AtlasAnzeigen1"));
    AtlasAnzeigen1->setCheckable(true);
    AtlasWahl1 = Lernen1->addMenu(QStringLiteral("Atlas &wählen"));
    AtlasWahl1->setObjectName(QStringLiteral("AtlasWahl1"));
    auto* group = new QActionGroup(this);
    for (std::size_t i = 0; i < kAtlases.size(); ++i) {
        QAction* a = AtlasWahl1->addAction(QString::fromUtf8(kAtlases[i].title));
        a->setCheckable(true);
        a->setChecked(i == 0);
        group->addAction(a);
        connect(a, &QAction::triggered, this, Slot([this, i] { ChooseAtlas(int(i)); }));
        AtlasChoices.push_back(a);
    }
    RegionenEinfaerben1 = Lernen1->addAction(QString::fromUtf8("&Regionen einfärben"));
    RegionenEinfaerben1->setObjectName(QStringLiteral("RegionenEinfaerben1"));
    RegionenEinfaerben1->setCheckable(true);
    Uebungstarten1 = Lernen1->addAction(QString::fromUtf8("&Übung starten..."));
    Uebungstarten1->setObjectName(QStringLiteral("Uebungstarten1"));
    connect(AtlasAnzeigen1, &QAction::toggled, this,
            Slot([this](bool on) { AtlasAnzeigen1Click(on); }));
    connect(RegionenEinfaerben1, &QAction::toggled, this,
            Slot([this](bool) { AtlasPointMoved(true); }));
    connect(Uebungstarten1, &QAction::triggered, this, Slot([this] { Uebungstarten1Click(); }));
    // Why an entry is off: as a tooltip, and in the status bar while the
    // pointer rests on it (a menu sends no status tip for a disabled entry).
    for (QMenu* m : {Lernen1, AtlasWahl1}) {
        m->setToolTipsVisible(true);
        m->installEventFilter(this);
    }

    // The read-out: a small window of its own beside the designed one.
    AtlasWindow = new QWidget(main, Qt::Tool);
    AtlasWindow->setObjectName(QStringLiteral("AtlasWindow"));
    AtlasWindow->setWindowTitle(QStringLiteral("Atlas"));
    auto* layout = new QVBoxLayout(AtlasWindow);
    QuizLabel = new QLabel(AtlasWindow);
    QuizLabel->setObjectName(QStringLiteral("QuizLabel"));
    QFont bold = QuizLabel->font();
    bold.setBold(true);
    QuizLabel->setFont(bold);
    QuizLabel->setWordWrap(true);
    // Two lines: a verdict rarely needs more.
    QuizLabel->setMinimumHeight(2 * QFontMetrics(bold).lineSpacing());
    QuizLabel->hide();
    WeiterButton = new QPushButton(QStringLiteral("&Weiter"), AtlasWindow);
    WeiterButton->setObjectName(QStringLiteral("WeiterButton"));
    WeiterButton->hide();
    connect(WeiterButton, &QPushButton::clicked, this, Slot([this] { QuizNext(); }));
    AtlasReadout = new TReadout(AtlasWindow);
    AtlasReadout->setObjectName(QStringLiteral("AtlasReadout"));
    // Room for four lines, the last one's descenders included, measured in
    // fractional pixels: rounded integer metrics fall short when scaled.
    const QFontMetricsF readoutMetrics(AtlasReadout->font());
    AtlasReadout->setMinimumSize(400, qCeil(3 * readoutMetrics.lineSpacing() +
                                            readoutMetrics.height() + readoutMetrics.descent()) +
                                          6);
    layout->addWidget(QuizLabel);
    layout->addWidget(WeiterButton, 0, Qt::AlignRight);
    layout->addWidget(AtlasReadout);
    AtlasWindow->resize(420, 110);
    AtlasWindow->installEventFilter(this);
    UpdateAtlasAvailability();
}

void TLearning::SetButtonRoom(bool kept) {
    QSizePolicy p = WeiterButton->sizePolicy();
    p.setRetainSizeWhenHidden(kept);
    WeiterButton->setSizePolicy(p);
}

void TLearning::PlaceAtlasWindow() {
    // Beside the main window where it fits, always inside the screen.
    PlaceToolWindow(AtlasWindow, viewer.window);
}

bool TLearning::eventFilter(QObject* watched, QEvent* e) {
    if (watched == AtlasWindow && e->type() == QEvent::Close) {
        // Closing the window ends the self-test it shows (with the summary
        // of the answers so far) and the read-out: no click answers a
        // question nobody sees.
        Guarded([&] {
            EndQuiz();
            AtlasAnzeigen1->setChecked(false);
        });
    }
    if (watched == AtlasWindow && e->type() == QEvent::Resize) {
        // Grown by the question line: back inside the screen, once the
        // window manager has framed it.
        QTimer::singleShot(0, AtlasWindow, [w = AtlasWindow] {
            if (w->isVisible()) KeepToolWindowOnScreen(w);
        });
    }
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu && e->type() == QEvent::MouseMove) {
        const QAction* a = menu->actionAt(static_cast<QMouseEvent*>(e)->position().toPoint());
        if (a && !a->isEnabled() && !a->statusTip().isEmpty())
            viewer.statusBar->showMessage(a->statusTip());
        else if (!a || a->statusTip().isEmpty())
            viewer.statusBar->clearMessage();
    } else if (menu && e->type() == QEvent::Hide) {
        viewer.statusBar->clearMessage();
    }
    return TComponent::eventFilter(watched, e);
}

namespace {

// The last head seen with label volumes beside it, and its print.
const char kHeadKey[] = "atlas/head";
const char kPlanesKey[] = "atlas/headPlanes";
const char kEdgeKey[] = "atlas/headEdgeMm";
const char kPrintKey[] = "atlas/headPrint";

bool HasLabelFiles(const QString& volumeFile) {
    if (volumeFile.isEmpty()) return false;
    for (const AtlasKind& k : kAtlases)
        if (QFileInfo(LabelFileFor(volumeFile, k.key)).isFile()) return true;
    return false;
}

}  // namespace

QString TLearning::FindAtlasBase() const {
    // The print reads the whole volume: it is made only where it is
    // stored or compared.
    QSettings settings;
    if (HasLabelFiles(viewer.volumeFileName)) {
        const HeadPrint print = PrintOfHead(viewer.volume.data(), viewer.sliceCount, viewer.edgeMm);
        // Remembered, so that the same head opened another way (the NIfTI
        // scan it was converted from, a copy) finds these atlases.
        settings.setValue(QString::fromLatin1(kHeadKey),
                          QFileInfo(viewer.volumeFileName).absoluteFilePath());
        settings.setValue(QString::fromLatin1(kPlanesKey), print.planes);
        settings.setValue(QString::fromLatin1(kEdgeKey), print.edgeMm);
        settings.setValue(QString::fromLatin1(kPrintKey), print.means);
        return viewer.volumeFileName;
    }
    const QString head = settings.value(QString::fromLatin1(kHeadKey)).toString();
    if (!HasLabelFiles(head)) return {};
    HeadPrint known;
    known.planes = settings.value(QString::fromLatin1(kPlanesKey)).toInt();
    known.edgeMm = settings.value(QString::fromLatin1(kEdgeKey)).toDouble();
    known.means = settings.value(QString::fromLatin1(kPrintKey)).toByteArray();
    const HeadPrint print = PrintOfHead(viewer.volume.data(), viewer.sliceCount, viewer.edgeMm);
    return SameHead(print, known) ? head : QString();
}

void TLearning::UpdateAtlasAvailability() {
    AtlasBase = FindAtlasBase();
    const bool available = !AtlasBase.isEmpty();
    const QString hint = available ? QString() : QString::fromUtf8(kOnlyStandardHead);
    for (QAction* a :
         {AtlasAnzeigen1, RegionenEinfaerben1, Uebungstarten1, AtlasWahl1->menuAction()}) {
        a->setEnabled(available);
        a->setStatusTip(hint);
        a->setToolTip(hint);
    }
    Atlases.Clear();
    ShareLabels();  // no label volume may outlive its atlas
    AtlasPoint = {-1, -1, -1};
    if (available && (AtlasAnzeigen1->isChecked() || RegionenEinfaerben1->isChecked())) {
        Atlases.Load(AtlasBase);
        AtlasPointMoved(true);
        return;
    }
    if (!available) {
        ActiveQuiz.reset();
        QuizFeedback = false;
        QuizLabel->hide();
        WeiterButton->hide();
        SetButtonRoom(false);
        AtlasAnzeigen1->setChecked(false);
        RegionenEinfaerben1->setChecked(false);
        AtlasWindow->hide();
        for (TImage* v : viewer.views) v->SetLayer(QImage());
    }
}

void TLearning::EnsureAtlases() {
    if (Atlases.Count() == 0 && !AtlasBase.isEmpty()) Atlases.Load(AtlasBase);
}

void TLearning::AtlasAnzeigen1Click(bool on) {
    EnsureAtlases();
    if (on && !AtlasWindow->isVisible()) PlaceAtlasWindow();
    AtlasWindow->setVisible(on);
    AtlasPointMoved(true);
}

void TLearning::ChooseAtlas(int i) {
    ChosenAtlas = i;
    AtlasPointMoved(true);
}

int TLearning::ChosenAtlasIndex() const {
    // The chosen atlas among those loaded (an absent one falls back to the first).
    const QString title = QString::fromUtf8(kAtlases[std::size_t(ChosenAtlas)].title);
    for (int i = 0; i < Atlases.Count(); ++i)
        if (Atlases.Title(i) == title) return i;
    return 0;
}

void TLearning::AtlasPointMoved(bool force) {
    const bool readout = AtlasAnzeigen1->isChecked();
    const bool colours = RegionenEinfaerben1->isChecked() || (ActiveQuiz && HighlightLabel > 0);
    if (!readout && !colours) {
        if (force) {
            for (TImage* v : viewer.views) v->SetLayer(QImage());
            ShareLabels();
        }
        return;
    }
    const int Xg = viewer.xg, Yg = viewer.yg, Zg = viewer.zg;
    const std::array<int, 3> p = {Xg, Yg, Zg};
    if (!force && p == AtlasPoint) return;
    const std::array<int, 3> before = AtlasPoint;
    AtlasPoint = p;
    EnsureAtlases();
    if (force) ShareLabels();
    if (Atlases.Count() == 0) return;
    if (readout) {
        QStringList lines;
        // While a question is open the names would give the answer away.
        for (int i = 0; i < Atlases.Count(); ++i)
            lines << (Asking()
                          ? Atlases.Title(i) + QString::fromUtf8(": (während der Frage verborgen)")
                          : Atlases.Line(i, Xg, Yg, Zg));
        AtlasReadout->setText(lines.join(u'\n'));
    }
    if (colours) {
        // Rebuild the layers of the views whose plane changed, or all three
        // when the region under the crosshair changed its outline.
        const bool all = force || Atlases.Label(ChosenAtlasIndex(), Xg, Yg, Zg) !=
                                      (before[0] < 0 ? -1
                                                     : Atlases.Label(ChosenAtlasIndex(), before[0],
                                                                     before[1], before[2]));
        for (int v = 0; v < 3; ++v)
            if (all || before[std::size_t(v)] != p[std::size_t(v)])
                viewer.views[std::size_t(v)]->SetLayer(AtlasLayer(v + 1));
    } else if (force) {
        for (TImage* v : viewer.views) v->SetLayer(QImage());
    }
}

void TLearning::ShareLabels() {
    const bool fill = RegionenEinfaerben1->isChecked() && Atlases.Count() > 0;
    const std::uint8_t* labels = fill ? Atlases.Labels(ChosenAtlasIndex()) : nullptr;
    if (labels == viewer.labelLayer->labels) return;
    viewer.labelLayer->labels = labels;
    for (int l = 0; l < 256; ++l)
        viewer.labelLayer->colours[std::size_t(l)] = l ? RegionColour(l, 96) : 0;
    viewer.displayChanged();
}

QImage TLearning::AtlasLayer(int view) const {
    const int Xg = viewer.xg, Yg = viewer.yg, Zg = viewer.zg;
    const int SliceCount = viewer.sliceCount, SliceOffset = viewer.sliceOffset;
    const int a = ChosenAtlasIndex();
    const bool fill = RegionenEinfaerben1->isChecked();
    const int outlined =
        (ActiveQuiz && HighlightLabel > 0) ? HighlightLabel : Atlases.Label(a, Xg, Yg, Zg);
    QImage layer(256, 256, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    auto label = [&](int c, int r) -> int {
        if (c < 0 || r < 0 || c > 255 || r > 255) return -1;
        if (view == 1) return Atlases.Label(a, Xg, c, r);
        const int x = c - SliceOffset;
        if (x < 0 || x >= SliceCount) return 0;
        return view == 2 ? Atlases.Label(a, x, Yg, r) : Atlases.Label(a, x, r, Zg);
    };
    for (int r = 0; r < 256; ++r) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(r));
        for (int c = 0; c < 256; ++c) {
            const int l = label(c, r);
            if (l <= 0) continue;
            if (l == outlined && (label(c - 1, r) != l || label(c + 1, r) != l ||
                                  label(c, r - 1) != l || label(c, r + 1) != l)) {
                line[c] = 0xffffff00u;  // the outline: opaque yellow
            } else if (fill) {
                line[c] = qPremultiply(RegionColour(l, 96));
            }
        }
    }
    return layer;
}

void TLearning::Uebungstarten1Click() {
    if (ActiveQuiz) {
        EndQuiz();
        return;
    }
    EnsureAtlases();
    if (Atlases.Count() == 0) return;
    const unsigned seed = QuizSeed ? QuizSeed : std::random_device{}();
    ActiveQuiz = std::make_unique<Quiz>(Atlases, ChosenAtlasIndex(), seed);
    Uebungstarten1->setText(QString::fromUtf8("Übung &beenden"));
    HighlightLabel = 0;
    QuizFeedback = false;
    // The question line and the room of the "Weiter" button from the
    // start, so that the window does not grow at every verdict.
    QuizLabel->show();
    SetButtonRoom(true);
    if (!AtlasWindow->isVisible()) PlaceAtlasWindow();
    AtlasWindow->show();
    ShowQuestion();
}

void TLearning::ShowQuestion() {
    if (!ActiveQuiz || ActiveQuiz->Finished()) return;
    const QString q =
        QStringLiteral("%1/%2  ").arg(ActiveQuiz->Current() + 1).arg(ActiveQuiz->Total()) +
        ActiveQuiz->Question();
    QuizFeedback = false;
    QuizLabel->setText(q);
    WeiterButton->hide();
    viewer.statusBar->SetSimpleText(ActiveQuiz->Question());
    AtlasPointMoved(true);  // the names hidden again
}

void TLearning::QuizAnswer() {
    if (!ActiveQuiz || ActiveQuiz->Finished() || QuizFeedback) return;
    const int wanted = ActiveQuiz->Wanted();
    const Quiz::Verdict v = ActiveQuiz->Answer(viewer.xg, viewer.yg, viewer.zg);
    // The verdict in the question line, the names shown again, the wanted
    // region outlined and the crosshair moved into it.
    QuizFeedback = true;
    QuizLabel->setText(v.text);
    WeiterButton->setText(ActiveQuiz->Finished() ? QStringLiteral("&Auswertung")
                                                 : QStringLiteral("&Weiter"));
    WeiterButton->show();
    HighlightLabel = wanted;
    viewer.moveTo(v.inside[0], v.inside[1], v.inside[2]);
    AtlasPointMoved(true);
}

void TLearning::QuizNext() {
    if (!ActiveQuiz || !QuizFeedback) return;
    if (ActiveQuiz->Finished()) {
        EndQuiz();
    } else {
        ShowQuestion();
    }
}

void TLearning::EndQuiz() {
    if (!ActiveQuiz) return;
    const QString summary = ActiveQuiz->Summary();
    ActiveQuiz.reset();
    HighlightLabel = 0;
    QuizFeedback = false;
    QuizLabel->hide();
    WeiterButton->hide();
    SetButtonRoom(false);
    Uebungstarten1->setText(QString::fromUtf8("&Übung starten..."));
    prompter().MessageDlg(MsgKind::Information, QString::fromUtf8(texts::kTitleInformation),
                          summary, mbOK);
    AtlasPointMoved(true);
}

void TLearning::ViewReleased(int, TMouseButton b) {
    // A click answers the open question, or goes on from a verdict.
    if (!ActiveQuiz || b != TMouseButton::mbLeft) return;
    if (QuizFeedback)
        QuizNext();
    else
        QuizAnswer();
}

bool TLearning::KeyPressed(QKeyEvent* e) {
    if (!ActiveQuiz || e->key() != Qt::Key_Escape || QApplication::activeModalWidget())
        return false;
    Guarded([&] { EndQuiz(); });  // Escape ends the self-test early
    return true;
}

QJsonObject TLearning::SaveState() const {
    const bool shown = RegionenEinfaerben1->isChecked();
    QJsonObject o{
        {QStringLiteral("atlas"),
         shown ? QString::fromLatin1(kAtlases[std::size_t(ChosenAtlas)].key) : QString()}};
    if (HideNames) o.insert(QStringLiteral("hide_names"), true);
    return o;
}

void TLearning::LoadState(const QJsonObject& state) {
    const QJsonValue atlas = state.value(QStringLiteral("atlas"));
    HideNames = state.value(QStringLiteral("hide_names")).toBool(false);
    if (atlas.isString()) {
        const QString key = atlas.toString();
        int chosen = -1;
        for (std::size_t i = 0; i < kAtlases.size(); ++i)
            if (key == QLatin1String(kAtlases[i].key)) chosen = int(i);
        if (chosen >= 0) {
            ChosenAtlas = chosen;
            if (std::size_t(chosen) < AtlasChoices.size()) {
                const QSignalBlocker b(AtlasChoices[std::size_t(chosen)]);
                AtlasChoices[std::size_t(chosen)]->setChecked(true);
            }
        }
        const bool on = chosen >= 0 && RegionenEinfaerben1->isEnabled();
        const QSignalBlocker block(RegionenEinfaerben1);
        RegionenEinfaerben1->setChecked(on);
    }
    AtlasPointMoved(true);
}

}  // namespace zx
