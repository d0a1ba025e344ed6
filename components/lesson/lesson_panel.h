// Lessons in the viewer: "Lernen" › "Lektion" makes, opens and saves a
// lesson, records stops from what the components show, and steps through
// them in a tool window with "Zurück" and "Weiter"; a stop's question is
// judged there (a click in a view, or a choice) and the score shown at the
// end. Also the handout ("Lektion drucken...") and the web page.
#pragma once

#include <map>
#include <memory>

#include "components/component.h"
#include "teach/atlas.h"
#include "teach/lesson.h"

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QWidget;

namespace zx {

class TLessonPanel : public TComponent {
public:
    explicit TLessonPanel(const ViewerContext& viewer, QObject* parent = nullptr);

    // ---- Controls ---------------------------------------------------------
    QMenu* Lektion1;
    QAction *LektionNeu1, *LektionOeffnen1, *LektionSpeichern1, *LektionSpeichernUnter1,
        *LektionTitel1, *HaltHinzufuegen1, *LektionZeigen1, *LektionDrucken1, *LektionWeb1;
    QWidget* LessonWindow;
    QLabel *StopTitle, *StopText, *StopPosition, *QuestionLabel, *VerdictLabel;
    QComboBox* ChoiceBox;
    QPushButton *AnswerButton, *ZurueckButton, *WeiterButton;
    QListWidget* StopList;
    QPushButton *EditStopButton, *DeleteStopButton, *EarlierButton, *LaterButton;

    // ---- State ------------------------------------------------------------
    Lesson Current;      ///< the lesson open, perhaps empty
    QString LessonFile;  ///< its file, empty before the first save
    int StopIndex = -1;  ///< the stop shown, -1 for none
    bool Modified = false;
    std::map<int, bool> Answers;  ///< per stop with a question: answered right?
    bool Finished = false;        ///< "Weiter" after the last stop showed the score

    // ---- Commands -----------------------------------------------------------
    void NewLesson();
    /// Asks for the lesson's title.
    void AskTitle();
    /// Opens a lesson file, its volume too when another one is shown; a
    /// missing volume or a different one is refused with a message.
    /// True when the lesson is open (at stop `stop`, counted from 0).
    bool OpenLesson(const QString& file, int stop = 0);
    void SaveLesson();
    void SaveLessonAs();
    /// Records the viewer as a new stop after the one shown; asks for its
    /// title and text when `title` is empty.
    void AddStop(const QString& title = {}, const QString& text = {});
    /// Shows stop i: point and every component's state, title and text.
    void GoToStop(int i);
    void Next();
    void Previous();
    void EditStop(int i);
    void DeleteStop(int i);
    void MoveStop(int i, int by);
    /// Judges the open question: the point shown for a point or region
    /// question, the choice for a choice.
    void Answer();
    /// "k von n Fragen richtig".
    QString ScoreText() const;
    void PrintLesson();
    void ExportWeb();

    void ViewReleased(int view, TMouseButton b) override;
    void VolumeChanged() override;
    void ApplyStartOptions(const StartOptions& options) override;

private:
    QString pendingLesson_;
    int pendingStop_ = 0;
    bool startLessonTaken_ = false;
    AtlasSet atlases_;  ///< for region questions, loaded when one is judged
    bool QuestionOpen() const;
    /// True when there are no unsaved changes, or the user lets them go.
    bool MayDiscard();
    /// Lets the read-out name the regions again.
    void ShowNames();
    void ShowStop();
    void FillList();
    void UpdateActions();
    /// The stop recorded from the viewer as it is.
    LessonStop Record() const;
    bool CheckVolume();
    /// Asks for title, text and question; false when cancelled.
    bool EditDialog(LessonStop& s);
};

}  // namespace zx
