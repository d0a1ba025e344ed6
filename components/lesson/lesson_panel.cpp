#include "components/lesson/lesson_panel.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/volume/runtime_error.h"
#include "teach/lesson_output.h"
#include "teach/lesson_pictures.h"
#include "widgets/guard.h"
#include "widgets/prompter.h"
#include "widgets/status_bar.h"
#include "widgets/tool_window.h"

namespace zx {

namespace {

QString S(const char* utf8) { return QString::fromUtf8(utf8); }

void Refuse(const QString& text) {
    prompter().MessageDlg(MsgKind::Error, QStringLiteral("Fehler"), text, mbOK);
}

QString Canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

/// Only the entries of `list` on the planes shown at `point`.
QJsonArray OnShownPlanes(const QJsonArray& list, const std::array<int, 3>& point) {
    QJsonArray kept;
    for (const QJsonValue& v : list) {
        const int view = v.toObject().value(QStringLiteral("view")).toInt(0);
        const int plane = v.toObject().value(QStringLiteral("plane")).toInt(-1);
        if (view >= 1 && view <= 3 && point[std::size_t(view - 1)] == plane) kept.append(v);
    }
    return kept;
}

const char kLessonFilter[] = "Lektionen (*.zxl)|*.zxl";

}  // namespace

TLessonPanel::TLessonPanel(const ViewerContext& context, QObject* parent)
    : TComponent(context, parent) {
    auto* learn = viewer.window->findChild<QMenu*>(QStringLiteral("Lernen1"));
    if (!learn) {
        learn = new QMenu(QStringLiteral("&Lernen"), viewer.window);
        viewer.menuBar->insertMenu(viewer.helpMenu->menuAction(), learn);
    }
    learn->addSeparator();
    Lektion1 = learn->addMenu(QStringLiteral("Lekt&ion"));
    Lektion1->setObjectName(QStringLiteral("Lektion1"));
    auto add = [this](const char* caption, const char* name, auto handler) {
        QAction* a = Lektion1->addAction(S(caption));
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, Slot([handler] { handler(); }));
        return a;
    };
    LektionNeu1 = add("&Neu", "LektionNeu1", [this] {
        if (!MayDiscard()) return;
        NewLesson();
        AskTitle();
    });
    LektionOeffnen1 = add("Ö&ffnen...", "LektionOeffnen1", [this] {
        if (!MayDiscard()) return;
        TOpenDialog dlg;
        dlg.Filter = S(kLessonFilter);
        dlg.DefaultExt = QStringLiteral("zxl");
        dlg.Title = S("Lektion öffnen");
        if (prompter().OpenFiles(dlg)) OpenLesson(dlg.FileName);
    });
    LektionSpeichern1 = add("&Speichern", "LektionSpeichern1", [this] { SaveLesson(); });
    LektionSpeichernUnter1 =
        add("Speichern &unter...", "LektionSpeichernUnter1", [this] { SaveLessonAs(); });
    LektionTitel1 = add("&Titel...", "LektionTitel1", [this] { AskTitle(); });
    Lektion1->addSeparator();
    HaltHinzufuegen1 = add("&Halt hinzufügen", "HaltHinzufuegen1", [this] { AddStop(); });
    LektionZeigen1 = add("Halte &zeigen...", "LektionZeigen1", [this] {
        if (!LessonWindow->isVisible()) PlaceToolWindow(LessonWindow, viewer.window);
        LessonWindow->show();
        LessonWindow->raise();
    });
    Lektion1->addSeparator();
    LektionDrucken1 = add("Lektion &drucken...", "LektionDrucken1", [this] { PrintLesson(); });
    LektionWeb1 =
        add("Lektion als &Webseite exportieren...", "LektionWeb1", [this] { ExportWeb(); });

    LessonWindow = new QWidget(viewer.window, Qt::Tool);
    LessonWindow->setObjectName(QStringLiteral("LessonWindow"));
    LessonWindow->setWindowTitle(QStringLiteral("Lektion"));
    auto* layout = new QVBoxLayout(LessonWindow);
    StopPosition = new QLabel(LessonWindow);
    StopTitle = new QLabel(LessonWindow);
    QFont bold = StopTitle->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    StopTitle->setFont(bold);
    StopText = new QLabel(LessonWindow);
    QuestionLabel = new QLabel(LessonWindow);
    VerdictLabel = new QLabel(LessonWindow);
    for (QLabel* l : {StopTitle, StopText, QuestionLabel, VerdictLabel}) {
        l->setWordWrap(true);
        l->setTextFormat(Qt::PlainText);
    }
    ChoiceBox = new QComboBox(LessonWindow);
    AnswerButton = new QPushButton(QStringLiteral("&Antworten"), LessonWindow);
    auto* answer = new QHBoxLayout;
    answer->addWidget(ChoiceBox, 1);
    answer->addWidget(AnswerButton);
    ZurueckButton = new QPushButton(QString::fromUtf8("&Zurück"), LessonWindow);
    WeiterButton = new QPushButton(QStringLiteral("&Weiter"), LessonWindow);
    auto* steps = new QHBoxLayout;
    steps->addWidget(ZurueckButton);
    steps->addWidget(StopPosition, 1, Qt::AlignCenter);
    steps->addWidget(WeiterButton);
    StopList = new QListWidget(LessonWindow);
    StopList->setMaximumHeight(110);
    EditStopButton = new QPushButton(QStringLiteral("&Bearbeiten..."), LessonWindow);
    DeleteStopButton = new QPushButton(QString::fromUtf8("&Löschen"), LessonWindow);
    EarlierButton = new QPushButton(QStringLiteral("Nach &vorn"), LessonWindow);
    LaterButton = new QPushButton(QStringLiteral("Nach &hinten"), LessonWindow);
    auto* edit = new QHBoxLayout;
    for (QPushButton* b : {EditStopButton, DeleteStopButton, EarlierButton, LaterButton})
        edit->addWidget(b);
    layout->addLayout(steps);
    layout->addWidget(StopTitle);
    layout->addWidget(StopText);
    layout->addWidget(QuestionLabel);
    layout->addLayout(answer);
    layout->addWidget(VerdictLabel);
    layout->addStretch(1);
    layout->addWidget(StopList);
    layout->addLayout(edit);
    LessonWindow->resize(360, 420);

    connect(ZurueckButton, &QPushButton::clicked, this, Slot([this] { Previous(); }));
    connect(WeiterButton, &QPushButton::clicked, this, Slot([this] { Next(); }));
    connect(AnswerButton, &QPushButton::clicked, this, Slot([this] { Answer(); }));
    connect(StopList, &QListWidget::currentRowChanged, this, Slot([this](int row) {
                if (row >= 0 && row != StopIndex) GoToStop(row);
            }));
    connect(EditStopButton, &QPushButton::clicked, this, Slot([this] { EditStop(StopIndex); }));
    connect(DeleteStopButton, &QPushButton::clicked, this, Slot([this] { DeleteStop(StopIndex); }));
    connect(EarlierButton, &QPushButton::clicked, this, Slot([this] { MoveStop(StopIndex, -1); }));
    connect(LaterButton, &QPushButton::clicked, this, Slot([this] { MoveStop(StopIndex, 1); }));
    NewLesson();
}

void TLessonPanel::AskTitle() {
    QString title = Current.title;
    if (!prompter().InputQuery(QStringLiteral("Lektion"), S("Titel der Lektion:"), title) ||
        title.trimmed().isEmpty() || title.trimmed() == Current.title)
        return;
    Current.title = title.trimmed();
    Modified = true;
    ShowStop();
}

bool TLessonPanel::MayDiscard() {
    return !Modified ||
           prompter().MessageDlg(MsgKind::Confirmation, QString::fromUtf8("Bestätigung"),
                                 S("Die Lektion wurde geändert und nicht gespeichert. "
                                   "Änderungen verwerfen?"),
                                 mbYes | mbNo) == mbYes;
}

void TLessonPanel::ShowNames() {
    if (!viewer.saveState || !viewer.loadState) return;
    QJsonObject atlas = viewer.saveState().value(QStringLiteral("atlas")).toObject();
    if (!atlas.contains(QStringLiteral("hide_names"))) return;
    atlas.remove(QStringLiteral("hide_names"));
    viewer.loadState({{QStringLiteral("atlas"), atlas}});
}

void TLessonPanel::NewLesson() {
    if (!Current.stops.empty()) ShowNames();  // (none when the panel is built)
    Current = Lesson{};
    Current.title = S("Neue Lektion");
    LessonFile.clear();
    StopIndex = -1;
    Answers.clear();
    Finished = false;
    Modified = false;
    FillList();
    ShowStop();
}

bool TLessonPanel::OpenLesson(const QString& file, int stop) {
    Lesson l = ReadLesson(file);
    const QString volume = LessonVolumePath(file, l);
    if (!QFileInfo(volume).isFile()) {
        Refuse(MissingVolumeText(volume));
        return false;
    }
    if (Canonical(viewer.volumeFileName) != Canonical(volume)) {
        if (viewer.openFile) viewer.openFile(volume);
        // A failed open has said why.
        if (Canonical(viewer.volumeFileName) != Canonical(volume)) return false;
    }
    const QString mismatch = VolumeMismatch(l, viewer.volume.data(), viewer.sliceCount);
    if (!mismatch.isEmpty()) {
        Refuse(mismatch);
        return false;
    }
    Current = std::move(l);
    LessonFile = file;
    Answers.clear();
    Finished = false;
    Modified = false;
    StopIndex = -1;
    atlases_.Clear();
    FillList();
    if (!LessonWindow->isVisible()) PlaceToolWindow(LessonWindow, viewer.window);
    LessonWindow->show();
    if (!Current.stops.empty()) GoToStop(std::clamp(stop, 0, int(Current.stops.size()) - 1));
    ShowStop();
    return true;
}

void TLessonPanel::SaveLesson() {
    if (LessonFile.isEmpty()) return SaveLessonAs();
    if (viewer.volumeFileName.isEmpty()) {
        Refuse(S("Das Volumen hat keine Datei. Bitte das Volumen zuerst speichern."));
        return;
    }
    if (Canonical(LessonFile) == Canonical(viewer.volumeFileName)) {
        Refuse(S("Die Lektion kann nicht über ihre Volumendatei gespeichert werden."));
        LessonFile.clear();
        return;
    }
    Lesson l = Current;
    SetLessonVolume(l, LessonFile, viewer.volumeFileName, viewer.volume.data(), viewer.sliceCount);
    WriteLesson(LessonFile, l);
    Current = l;
    Modified = false;
    viewer.statusBar->SetSimpleText(S(" Lektion gespeichert: ") + LessonFile);
}

void TLessonPanel::SaveLessonAs() {
    TSaveDialog dlg;
    dlg.Filter = S(kLessonFilter);
    dlg.DefaultExt = QStringLiteral("zxl");
    dlg.Title = S("Lektion speichern unter");
    dlg.FileName = LessonFile;
    if (!prompter().SaveFile(dlg)) return;
    LessonFile = dlg.FileName;
    SaveLesson();
}

LessonStop TLessonPanel::Record() const {
    LessonStop s;
    s.point = {viewer.xg, viewer.yg, viewer.zg};
    s.state = viewer.saveState ? viewer.saveState() : QJsonObject{};
    // What lies on other planes than those shown belongs to other stops.
    for (const auto& [key, list] :
         {std::pair{QStringLiteral("annotations"), QStringLiteral("annotations")},
          std::pair{QStringLiteral("rulers"), QStringLiteral("measurements")}}) {
        if (!s.state.contains(key)) continue;
        QJsonObject o = s.state.value(key).toObject();
        o.insert(list, OnShownPlanes(o.value(list).toArray(), s.point));
        s.state.insert(key, o);
    }
    QJsonObject atlas = s.state.value(QStringLiteral("atlas")).toObject();
    atlas.remove(QStringLiteral("hide_names"));
    if (s.state.contains(QStringLiteral("atlas"))) s.state.insert(QStringLiteral("atlas"), atlas);
    return s;
}

void TLessonPanel::AddStop(const QString& title, const QString& text) {
    LessonStop s = Record();
    s.title = title;
    s.text = text;
    if (title.isEmpty()) {
        s.title = S("Halt %1").arg(Current.stops.size() + 1);
        if (!EditDialog(s)) return;
    }
    const int at = StopIndex < 0 ? int(Current.stops.size()) : StopIndex + 1;
    Current.stops.insert(Current.stops.begin() + at, s);
    Answers.clear();
    Modified = true;
    StopIndex = at;
    FillList();
    ShowStop();
}

bool TLessonPanel::QuestionOpen() const {
    return StopIndex >= 0 && StopIndex < int(Current.stops.size()) &&
           Current.stops[std::size_t(StopIndex)].question && !Answers.count(StopIndex) && !Finished;
}

void TLessonPanel::GoToStop(int i) {
    if (i < 0 || i >= int(Current.stops.size())) return;
    StopIndex = i;
    Finished = false;
    const LessonStop& s = Current.stops[std::size_t(i)];
    viewer.moveTo(s.point[0], s.point[1], s.point[2]);
    QJsonObject state = s.state;
    // While the question is open the read-out must not name the regions.
    QJsonObject atlas = state.value(QStringLiteral("atlas")).toObject();
    if (QuestionOpen()) atlas.insert(QStringLiteral("hide_names"), true);
    state.insert(QStringLiteral("atlas"), atlas);
    if (viewer.loadState) viewer.loadState(state);
    ShowStop();
}

void TLessonPanel::Next() {
    if (StopIndex + 1 < int(Current.stops.size())) return GoToStop(StopIndex + 1);
    if (Current.stops.empty()) return;
    Finished = true;
    ShowNames();
    ShowStop();
}

void TLessonPanel::Previous() {
    if (Finished) return GoToStop(StopIndex);
    if (StopIndex > 0) GoToStop(StopIndex - 1);
}

void TLessonPanel::Answer() {
    if (!QuestionOpen()) return;
    const LessonQuestion& q = *Current.stops[std::size_t(StopIndex)].question;
    const std::array<int, 3> p{viewer.xg, viewer.yg, viewer.zg};
    bool right = false;
    QString verdict;
    if (q.kind == LessonQuestion::Point) {
        right = PointAnswerRight(q, p, viewer.edgeMm);
        verdict = right ? S("Richtig!")
                        : S("Nicht ganz: die gesuchte Stelle liegt bei x %1, y %2, z %3.")
                              .arg(q.answer[0])
                              .arg(q.answer[1])
                              .arg(q.answer[2]);
    } else if (q.kind == LessonQuestion::Region) {
        if (atlases_.Count() == 0) atlases_.Load(viewer.volumeFileName);
        int a = -1;
        for (int i = 0; i < atlases_.Count(); ++i)
            for (const AtlasKind& k : kAtlases)
                if (q.atlas == QLatin1String(k.key) &&
                    atlases_.Title(i) == QString::fromUtf8(k.title))
                    a = i;
        right = a >= 0 && atlases_.Label(a, p[0], p[1], p[2]) == q.region;
        verdict = right ? S("Richtig!")
                        : S("Nicht ganz: gesucht war %1.")
                              .arg(a >= 0 ? atlases_.Name(a, q.region) : QString::number(q.region));
    } else {
        right = ChoiceBox->currentIndex() == q.choice;
        verdict =
            right ? S("Richtig!") : S("Leider falsch. Richtig ist: %1").arg(q.options[q.choice]);
    }
    Answers[StopIndex] = right;
    VerdictLabel->setText(verdict);
    ShowNames();
    if (!right && q.kind == LessonQuestion::Point)
        viewer.moveTo(q.answer[0], q.answer[1], q.answer[2]);
    ShowStop();
    VerdictLabel->setText(verdict);
}

QString TLessonPanel::ScoreText() const {
    int asked = 0, right = 0;
    for (std::size_t i = 0; i < Current.stops.size(); ++i) {
        if (!Current.stops[i].question) continue;
        ++asked;
        const auto it = Answers.find(int(i));
        if (it != Answers.end() && it->second) ++right;
    }
    return S("%1 von %2 Fragen richtig").arg(right).arg(asked);
}

void TLessonPanel::ShowStop() {
    const int n = int(Current.stops.size());
    const bool valid = StopIndex >= 0 && StopIndex < n;
    ZurueckButton->setEnabled(valid && (StopIndex > 0 || Finished));
    WeiterButton->setEnabled(valid && !Finished);
    for (QPushButton* b : {EditStopButton, DeleteStopButton, EarlierButton, LaterButton})
        b->setEnabled(valid);
    LessonWindow->setWindowTitle(S("Lektion: ") + Current.title);
    VerdictLabel->clear();
    ChoiceBox->hide();
    AnswerButton->hide();
    QuestionLabel->clear();
    if (Finished) {
        StopPosition->setText(S("Ende"));
        StopTitle->setText(S("Ende der Lektion"));
        StopText->setText(ScoreText());
        return;
    }
    if (!valid) {
        StopPosition->setText(n ? QString() : S("Keine Halte"));
        StopTitle->setText(Current.title);
        StopText->setText(n ? QString()
                            : S("„Halt hinzufügen“ nimmt den jetzigen Punkt und die Ansicht auf."));
        return;
    }
    const LessonStop& s = Current.stops[std::size_t(StopIndex)];
    StopPosition->setText(S("Halt %1 von %2").arg(StopIndex + 1).arg(n));
    StopTitle->setText(s.title);
    StopText->setText(s.text);
    {
        const QSignalBlocker block(StopList);
        StopList->setCurrentRow(StopIndex);
    }
    if (!s.question) return;
    QuestionLabel->setText(S("Frage: ") + s.question->prompt);
    const auto answered = Answers.find(StopIndex);
    if (answered != Answers.end()) {
        VerdictLabel->setText(answered->second ? S("Beantwortet: richtig")
                                               : S("Beantwortet: nicht richtig"));
        return;
    }
    if (s.question->kind == LessonQuestion::Choice) {
        const QSignalBlocker block(ChoiceBox);
        ChoiceBox->clear();
        ChoiceBox->addItems(s.question->options);
        ChoiceBox->show();
        AnswerButton->show();
    } else {
        VerdictLabel->setText(S("Klicken Sie in eine Ansicht auf die Stelle."));
        AnswerButton->show();
    }
}

void TLessonPanel::FillList() {
    const QSignalBlocker block(StopList);
    StopList->clear();
    for (std::size_t i = 0; i < Current.stops.size(); ++i)
        StopList->addItem(QStringLiteral("%1. %2").arg(i + 1).arg(Current.stops[i].title));
    StopList->setCurrentRow(StopIndex);
}

void TLessonPanel::EditStop(int i) {
    if (i < 0 || i >= int(Current.stops.size())) return;
    LessonStop s = Current.stops[std::size_t(i)];
    if (!EditDialog(s)) return;
    Current.stops[std::size_t(i)] = s;
    Answers.erase(i);
    Modified = true;
    FillList();
    ShowStop();
}

void TLessonPanel::DeleteStop(int i) {
    if (i < 0 || i >= int(Current.stops.size())) return;
    Current.stops.erase(Current.stops.begin() + i);
    Answers.clear();
    Modified = true;
    StopIndex = std::min(i, int(Current.stops.size()) - 1);
    FillList();
    ShowStop();
}

void TLessonPanel::MoveStop(int i, int by) {
    const int j = i + by;
    if (i < 0 || j < 0 || i >= int(Current.stops.size()) || j >= int(Current.stops.size())) return;
    std::swap(Current.stops[std::size_t(i)], Current.stops[std::size_t(j)]);
    Answers.clear();
    Modified = true;
    StopIndex = j;
    FillList();
    ShowStop();
}

bool TLessonPanel::EditDialog(LessonStop& s) {
    enum { kNone, kPoint, kRegion, kChoice };
    QDialog dlg(viewer.window);
    dlg.setWindowTitle(QStringLiteral("Halt"));
    dlg.setObjectName(QStringLiteral("StopEditor"));
    auto* form = new QFormLayout(&dlg);
    auto* title = new QLineEdit(s.title, &dlg);
    auto* text = new QPlainTextEdit(s.text, &dlg);
    auto* kind = new QComboBox(&dlg);
    kind->addItems(
        {S("Keine Frage"), S("Stelle zeigen"), S("Region zeigen (Atlas)"), S("Auswahl")});
    auto* prompt = new QLineEdit(&dlg);
    auto* answer = new QLineEdit(&dlg);
    auto* radius = new QDoubleSpinBox(&dlg);
    radius->setRange(0.5, 100);
    radius->setValue(8);
    auto* atlas = new QComboBox(&dlg);
    for (const AtlasKind& k : kAtlases) atlas->addItem(S(k.title));
    auto* options = new QPlainTextEdit(&dlg);
    auto* right = new QSpinBox(&dlg);
    right->setRange(1, 20);
    title->setObjectName(QStringLiteral("TitleEdit"));
    text->setObjectName(QStringLiteral("TextEdit"));
    kind->setObjectName(QStringLiteral("KindBox"));
    prompt->setObjectName(QStringLiteral("PromptEdit"));
    options->setObjectName(QStringLiteral("OptionsEdit"));
    right->setObjectName(QStringLiteral("RightEdit"));
    std::array<int, 3> a = s.point;
    if (s.question) {
        const LessonQuestion& q = *s.question;
        kind->setCurrentIndex(q.kind == LessonQuestion::Point    ? kPoint
                              : q.kind == LessonQuestion::Region ? kRegion
                                                                 : kChoice);
        prompt->setText(q.prompt);
        if (q.kind == LessonQuestion::Point) {
            a = q.answer;
            radius->setValue(q.radiusMm);
        }
        for (std::size_t i = 0; i < kAtlases.size(); ++i)
            if (q.atlas == QLatin1String(kAtlases[i].key)) atlas->setCurrentIndex(int(i));
        options->setPlainText(q.options.join(u'\n'));
        right->setValue(q.choice + 1);
    }
    answer->setText(QStringLiteral("%1,%2,%3").arg(a[0]).arg(a[1]).arg(a[2]));
    form->addRow(QStringLiteral("&Titel:"), title);
    form->addRow(QStringLiteral("&Text:"), text);
    form->addRow(QStringLiteral("&Frage:"), kind);
    form->addRow(QStringLiteral("Fragetext:"), prompt);
    form->addRow(QStringLiteral("Stelle (x,y,z):"), answer);
    form->addRow(QStringLiteral("Abstand bis (mm):"), radius);
    form->addRow(QStringLiteral("Atlas der Region:"), atlas);
    form->addRow(QString::fromUtf8("Antworten (je Zeile):"), options);
    form->addRow(QStringLiteral("Richtige Antwort Nr.:"), right);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    form->addRow(buttons);
    if (prompter().ShowModal(dlg) != QDialog::Accepted) return false;
    s.title = title->text();
    s.text = text->toPlainText();
    if (kind->currentIndex() == kNone) {
        s.question.reset();
        return true;
    }
    LessonQuestion q = s.question.value_or(LessonQuestion{});
    q.prompt = prompt->text().trimmed();
    if (q.prompt.isEmpty()) {
        Refuse(S("Bitte einen Fragetext eingeben."));
        return false;
    }
    const QStringList xyz = answer->text().split(u',');
    std::array<int, 3> at{};
    for (int k = 0; k < 3; ++k)
        at[std::size_t(k)] = std::clamp(xyz.value(k).trimmed().toInt(), 0, 255);
    if (kind->currentIndex() == kPoint) {
        q.kind = LessonQuestion::Point;
        q.answer = at;
        q.radiusMm = radius->value();
    } else if (kind->currentIndex() == kRegion) {
        // The region is the one at the given spot, in the chosen atlas.
        if (atlases_.Count() == 0) atlases_.Load(viewer.volumeFileName);
        const QString atlasTitle = S(kAtlases[std::size_t(atlas->currentIndex())].title);
        int label = 0;
        for (int i = 0; i < atlases_.Count(); ++i)
            if (atlases_.Title(i) == atlasTitle) label = atlases_.Label(i, at[0], at[1], at[2]);
        if (label == 0) {
            Refuse(S("An der Stelle %1, %2, %3 liegt keine Region des Atlas %4.")
                       .arg(at[0])
                       .arg(at[1])
                       .arg(at[2])
                       .arg(atlasTitle));
            return false;
        }
        q.kind = LessonQuestion::Region;
        q.atlas = QLatin1String(kAtlases[std::size_t(atlas->currentIndex())].key);
        q.region = label;
    } else {
        q.kind = LessonQuestion::Choice;
        q.options.clear();
        for (const QString& o : options->toPlainText().split(u'\n'))
            if (!o.trimmed().isEmpty()) q.options << o.trimmed();
        if (q.options.size() < 2) {
            Refuse(S("Eine Auswahlfrage braucht mindestens zwei Antworten."));
            return false;
        }
        q.choice = std::clamp(right->value() - 1, 0, int(q.options.size()) - 1);
    }
    s.question = q;
    return true;
}

bool TLessonPanel::CheckVolume() {
    if (Current.stops.empty()) {
        Refuse(S("Die Lektion hat keine Halte."));
        return false;
    }
    if (viewer.sliceCount == 0) return false;
    const QString mismatch = VolumeMismatch(Current, viewer.volume.data(), viewer.sliceCount);
    if (!mismatch.isEmpty()) Refuse(mismatch);
    return mismatch.isEmpty();
}

namespace {

LessonVolume ShownVolume(const ViewerContext& viewer) {
    LessonVolume v;
    v.voxels.assign(viewer.volume.begin(), viewer.volume.end());
    v.planes = viewer.sliceCount;
    v.edgeMm = viewer.edgeMm;
    v.file = viewer.volumeFileName;
    return v;
}

}  // namespace

void TLessonPanel::PrintLesson() {
    if (!CheckVolume()) return;
    QPrinter printer;
    printer.setDocName(Current.title);
    int copies = 1;
    if (!prompter().PrintDialog(printer, copies)) return;
    LessonVolume v = ShownVolume(viewer);
    for (int c = 0; c < std::max(copies, 1); ++c) PaintHandout(printer, v, Current);
}

void TLessonPanel::ExportWeb() {
    if (!CheckVolume()) return;
    QString folder;
    if (!prompter().ChooseFolder(S("Ordner der Webseite wählen"), folder)) return;
    LessonVolume v = ShownVolume(viewer);
    WriteLessonWeb(folder, v, Current);
    viewer.statusBar->SetSimpleText(S(" Webseite geschrieben: ") + folder +
                                    QStringLiteral("/index.html"));
}

void TLessonPanel::ViewReleased(int, TMouseButton b) {
    if (b != TMouseButton::mbLeft || !QuestionOpen() || !LessonWindow->isVisible()) return;
    if (Current.stops[std::size_t(StopIndex)].question->kind != LessonQuestion::Choice) Answer();
}

void TLessonPanel::ApplyStartOptions(const StartOptions& options) {
    // The command line's lesson is opened once, at the first volume shown.
    if (options.lesson.isEmpty() || startLessonTaken_) return;
    startLessonTaken_ = true;
    pendingLesson_ = options.lesson;
    pendingStop_ = options.stop - 1;
    if (viewer.sliceCount > 0) VolumeChanged();
}

void TLessonPanel::VolumeChanged() {
    if (pendingLesson_.isEmpty()) return;
    // After every component has heard of the new volume (which clears
    // their marks), the lesson's stop brings its own.
    QTimer::singleShot(0, this, Slot([this] {
                           const QString file = std::exchange(pendingLesson_, QString());
                           OpenLesson(file, pendingStop_);
                       }));
}

}  // namespace zx
