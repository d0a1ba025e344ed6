// The "Lernen" menu: the structures under the crosshair from the atlases
// beside the volume file, the atlas colours over the sections, and the
// self-test that asks the student to point at a region.
#pragma once

#include <QImage>
#include <array>
#include <memory>
#include <vector>

#include "components/component.h"
#include "teach/atlas.h"
#include "teach/quiz.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;

namespace zx {

class TReadout;

class TLearning : public TComponent {
public:
    explicit TLearning(const ViewerContext& viewer, QObject* parent = nullptr);

    // ---- Controls ---------------------------------------------------------
    QMenu* Lernen1;
    QAction *AtlasAnzeigen1, *RegionenEinfaerben1, *Uebungstarten1;
    QMenu* AtlasWahl1;
    std::vector<QAction*> AtlasChoices;  ///< one per known atlas, in the "Atlas wählen" menu
    QWidget* AtlasWindow;                ///< the read-out window
    TReadout* AtlasReadout;              ///< one line per atlas for the point
    QLabel* QuizLabel;          ///< the self-test's question, then the verdict on the answer
    QPushButton* WeiterButton;  ///< goes on from a verdict to the next question

    // ---- State ------------------------------------------------------------
    AtlasSet Atlases;     ///< label volumes beside the volume file, loaded on use
    int ChosenAtlas = 0;  ///< index into kAtlases
    std::array<int, 3> AtlasPoint{-1, -1, -1};  ///< the point the read-out shows
    std::unique_ptr<Quiz> ActiveQuiz;           ///< the running self-test, if any
    int HighlightLabel = 0;                     ///< region outlined after a self-test answer
    unsigned QuizSeed = 0;                      ///< fixed questions for tests; 0 draws at random
    bool QuizFeedback = false;  ///< a verdict is shown; the next click or "Weiter" goes on

    // ---- Commands -----------------------------------------------------------
    void AtlasAnzeigen1Click(bool on);
    void ChooseAtlas(int i);
    void Uebungstarten1Click();
    /// Brings the read-out and the colour layer to the point; cheap when
    /// nothing is shown or the point did not move.
    void AtlasPointMoved(bool force = false);
    /// Judges the point for the self-test's question.
    void QuizAnswer();
    /// From a verdict to the next question, or to the score after the last.
    void QuizNext();
    void EndQuiz();
    /// Enables the "Lernen" entries only when label volumes serve the
    /// volume (FindAtlasBase).
    void UpdateAtlasAvailability();

    // ---- The main window's news ----------------------------------------------
    void PointChanged() override { AtlasPointMoved(); }
    void VolumeChanged() override { UpdateAtlasAvailability(); }
    void ViewReleased(int view, TMouseButton b) override;
    bool KeyPressed(QKeyEvent* e) override;

    /// Region names hidden from the read-out while a question from
    /// elsewhere (a lesson stop) is open.
    bool HideNames = false;
    /// {"atlas": key of the atlas whose colours are shown, or "",
    ///  "hide_names": true while the names must not show}
    QString StateKey() const override { return QStringLiteral("atlas"); }
    QJsonObject SaveState() const override;
    void LoadState(const QJsonObject& state) override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    /// The volume file whose label volumes serve the volume shown: its own
    /// file when they lie beside it, else the last head seen with them when
    /// this volume is that head by grid and content; empty when none.
    QString FindAtlasBase() const;
    QString AtlasBase;
    void EnsureAtlases();
    int ChosenAtlasIndex() const;
    QImage AtlasLayer(int view) const;
    /// Offers the chosen atlas's labels and colours to the other
    /// components while the regions are coloured.
    void ShareLabels();
    void ShowQuestion();
    void PlaceAtlasWindow();
    /// Keeps the room of the hidden "Weiter" button while a self-test runs.
    void SetButtonRoom(bool kept);
    /// A question is open: the read-out must not name the region.
    bool Asking() const { return (ActiveQuiz && !QuizFeedback) || HideNames; }
};

}  // namespace zx
