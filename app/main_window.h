// TForm1: the main window and the one owner of the viewer's state — the
// volume, the three clean section bitmaps, the crosshair point, the step
// history and the display flags. Handlers are public so that other windows
// and tests call them exactly as the menus and controls do.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <array>
#include <memory>
#include <vector>

#include "components/component_set.h"
#include "core/render/section_copies.h"
#include "core/volume/volume.h"
#include "dialogs/main_window_port.h"
#include "widgets/prompter.h"
#include "widgets/shift_state.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPrinter;
class QPushButton;
class QToolButton;

namespace zx {

struct Forms;
class TImage;
class TNewBmpForm;
class TListBox;
class TStatusBar;
class TUpDown;

/// One entry of the position history.
struct TStep {
    int x = 0, y = 0, z = 0;
};
/// The position history: entries 1…1500 are a ring, entry 0 is never written.
extern std::array<TStep, 1501> Steps;
/// The second volume that the sagittal view mixes into its red channel;
/// empty (null) until a data import fills it.
extern std::unique_ptr<VolumeArray> OverlayVolume;
/// Titles of the views 1, 2, 3.
QString ViewName(int view);

class TForm1 : public QMainWindow, public TMainWindowPort {
    Q_OBJECT
public:
    explicit TForm1(Forms& forms);
    ~TForm1() override;

    // ---- Controls -------------------------------------------------------
    QWidget* Client;  ///< the client area: every control below, status bar included
    TImage* Image1;   ///< sagittal view
    TImage* Image2;   ///< coronal view
    TImage* Image3;   ///< transversal view
    QLabel *SAG_Label, *COR_Label, *TRA_Label;
    QLabel *x_Label1, *x_Label2, *y_Label1, *y_Label2, *z_Label1, *z_Label2;
    TOpenDialog OpenDialog1;
    TSaveDialog SaveDialog1;
    QMenuBar* MainMenu1;
    QMenu* Datei1;
    QAction *NaechstesVolumen1 = nullptr, *VorigesVolumen1 = nullptr;
    QAction *ffnen1, *NiftiOeffnen1, *DicomSerieOeffnen1, *N2, *Drucken1, *Druckereinrichtung1, *N1,
        *Beenden1;
    // Commands the designed menus leave out, bound here so users reach them.
    QAction *Neu1, *Speichern1, *Speichernunter1, *N3, *DatenImport1, *Exportieren1,
        *InsWebexportieren1, *N4, *Spotsetzen2;
    QAction* UeberlagerungEntfernen1;  ///< removes the overlay of "Datenimport..."
    QMenu* ZuletztGeoeffnet1;          ///< "Zuletzt geöffnet": the files and folders opened last
    QAction* Optionen1;
    QMenu* Ansicht1;
    QAction *normal1, *vergroessert1, *Symbol1;
    QMenu* Hilfe1;
    QAction *Anleitung1, *Inhalt1, *Info1;
    TListBox* FileListBox;  ///< opened file names, or the info file's comments
    TStatusBar* StatusBar1;
    QFrame* InfoPanel;
    QLabel *xLabel, *yLabel, *OrientLabel, *ColorLabel;
    QFrame* NavPanel;
    QLabel *xg_Lbl, *yg_Lbl, *zg_Lbl;
    QLineEdit *xg_Ed, *yg_Ed, *zg_Ed;
    TUpDown *xg_Up, *yg_Up, *zg_Up;
    std::unique_ptr<QPrinter> Printer;  ///< shared by the printer setup and print dialogs
    QMenu* PopupMenu1;
    QAction *Spotsetzen1, *Spotloeschen1;
    QWidget* BtnPanel;
    /// An empty placeholder in the enlarged layout's free cell (lower left),
    /// placed by the layout for the 3-D view; hidden in the normal layout.
    QWidget* View3DSlot;
    TImage* Image4;  ///< magnifier and reference-picture thumbnail, 100 × 100
    QPushButton *InvertButton, *ShowLBButton;
    QToolButton *BackBtn, *NextBtn, *LupeBtn;
    TUpDown* LupeFak_Up;

    // ---- State ----------------------------------------------------------
    int MaxSlices = 0;           ///< capacity of a bitmap-stack import (files × depth)
    bool InfoBmpLoaded = false;  ///< the info file's picture group was read
    QString InfoFileName;        ///< the info file belonging to the volume file
    QString VolumeFileName;      ///< the current volume file; empty after a stack import
    double VoxelEdgeMm = 0;      ///< voxel edge of the volume in mm; 0 when unknown
    QImage SagBmp;               ///< clean sagittal section, 256 × 256, 32 bit
    QImage CorBmp;               ///< clean coronal section
    QImage TraBmp;               ///< clean transversal section
    QImage InfoBmp;              ///< the info file's picture: four 100 × 100 quadrants
    VolumeArray Volume{};        ///< the voxels: byte x·65536 + z·256 + y
    /// Volume laid out for the coronal and the transversal view, so that
    /// their sections are contiguous blocks. Rebuilt by VolumeChanged only.
    SectionCopies Copies;
    int SliceCount = 0;              ///< valid x planes, 0…256
    int SliceOffset = 0;             ///< column of plane 0 in the coronal and transversal views
    int Xg = 0, Yg = 0, Zg = 0;      ///< the crosshair point, each 0…255
    int LastSagX = 0, LastSagY = 0;  ///< last pointer position handled by each view
    int LastCorX = 0, LastCorY = 0;
    int LastTraX = 0, LastTraY = 0;
    int StepCount = 0;           ///< newest entry of Steps, 0…1500
    int StepPos = 0;             ///< entry shown by the back and next buttons
    bool LupeOn = false;         ///< the magnifier is on
    bool OverlayShown = false;   ///< the sagittal view mixes OverlayVolume into red
    bool LoadDefault = false;    ///< the next Open loads the default file without asking
    bool DefaultLoaded = false;  ///< the first activation has loaded the default file
    QString StartPath;    ///< file or folder from the command line, opened at the first activation
    int StartSeries = 0;  ///< --series N for StartPath (from 1), or 0: taken by its first open
    int StartVolume = 1;  ///< of a 4-D file on the command line: the volume shown first
    /// The 4-D file shown (empty for any other volume), its volume shown
    /// (1-based) and its count of volumes.
    QString MultiVolumeFile;
    int VolumeNumber = 1;
    std::uint64_t VolumeTotal = 1;

    // ---- Lifecycle and the Open command -----------------------------------
    void FormCreate();
    void FormActivate();
    void FormDestroy();
    void Oeffnen1Click();
    /// Opens files given by the command line or dropped on the window: one
    /// volume file, NIfTI file or DICOM folder, or several BMP pictures (a
    /// stack); anything else is refused with the error box.
    void OpenPaths(const QStringList& paths, int volume = 1);
    void Beenden1Click();
    /// A NIfTI file or a folder with a DICOM series, converted in memory.
    void NiftiOeffnen1Click();
    void DicomSerieOeffnen1Click();
    /// Shows the converted file or folder as the Open command shows a
    /// volume file; on failure everything stays as it was.
    void OpenConverted(const QString& path, bool dicomFolder, int volume = 1);
    /// The series of a DICOM folder or DICOMDIR to read (from 1): the one
    /// named at the start, the only volume, or the one chosen in the
    /// series browser when there are several; 0 when the browser was
    /// cancelled. Throws ConvertError saying what was found when nothing
    /// is a volume.
    int ChooseDicomSeries(const QString& path, const std::string& name);
    /// Another volume of the 4-D file shown (keys V and Shift+V).
    void NaechstesVolumen1Click();
    void VorigesVolumen1Click();
    /// Puts a file or folder that opened at the top of "Zuletzt geöffnet".
    void RememberRecent(const QString& path);
    void FillRecentMenu();
    /// Opens an entry of "Zuletzt geöffnet" as the command line would.
    void OpenRecent(const QString& path);
    /// The one way a new volume is taken, from any source: voxels, planes,
    /// voxel edge, file name, caption and info picture; the coronal and
    /// transversal views start black, so that no column of the previous
    /// volume stays beside a narrower one; then the derived copies.
    void AdoptVolume(const AdoptedVolume& v) override;
    void AdoptOverlay(const std::uint8_t* voxels) override;

    // ---- What the options dialog sets -----------------------------------------
    void ShowInfoPanel(bool on) override;
    void ShowNavPanel(bool on) override;
    void ShowViewLabels(bool on) override;
    void CrosshairParamsChanged() override { RefreshX(); }
    int StackCapacity() const override { return MaxSlices; }

    // ---- Rendering and crosshair ------------------------------------------
    void RenderSag(int x);
    void RenderCor(int y);
    void RenderTra(int z);
    void RenderAll();
    /// Brings the data derived from Volume (the coronal and transversal
    /// copies) up to date; every path that writes Volume calls it once it
    /// is done.
    void VolumeChanged();
    void DrawCross(TImage* view, int px, int py);
    void RefreshX();
    void RefreshY();
    void RefreshZ();
    void ReportPosition(int view, int px, int py);
    void ClearSideViews(QRgb colour);
    void ScaleToSection(TImage* view, int& px, int& py) const;
    void RecordStep();
    void GotoStep(int i);
    /// " Fadenkreuz: x: …;  y: …;  z: …" for the current point.
    QString CrosshairText() const;

    // ---- Mouse navigation -------------------------------------------------
    void Image1MouseDown(TMouseButton button, TShiftState shift, int X, int Y);
    void Image1MouseMove(TShiftState shift, int X, int Y);
    void Image1MouseUp(TMouseButton button, TShiftState shift, int X, int Y);
    void Image2MouseDown(TMouseButton button, TShiftState shift, int X, int Y);
    void Image2MouseMove(TShiftState shift, int X, int Y);
    void Image2MouseUp(TMouseButton button, TShiftState shift, int X, int Y);
    void Image3MouseDown(TMouseButton button, TShiftState shift, int X, int Y);
    void Image3MouseMove(TShiftState shift, int X, int Y);
    void Image3MouseUp(TMouseButton button, TShiftState shift, int X, int Y);

    // ---- Coordinate entry -------------------------------------------------
    void xg_UpClick();
    void yg_UpClick();
    void zg_UpClick();
    void xg_EdChange();
    void yg_EdChange();
    void zg_EdChange();
    void xg_EdKeyUp();
    void yg_EdKeyUp();
    void zg_EdKeyUp();

    // ---- Wheel, keys and dropped files ----------------------------------------
    int PointerView = 0;  ///< the view under the pointer (1…3), 0 for none
    /// Moves the plane of `view` (sagittal x, coronal y, transversal z) by
    /// `steps`, as typing the coordinate would, and records the step.
    void StepPlane(int view, int steps);
    /// Moves the point by whole pixels along the columns and rows of `view`.
    void MovePoint(int view, int dColumn, int dRow);
    /// Handles Page Up/Down and the arrows for the view under the pointer;
    /// false when the key is not for a view.
    bool ViewKey(QKeyEvent* e);

    // ---- Components: the features beyond the designed window ------------------
    /// Every component, built from the set's table; told of changes once
    /// per user action.
    std::unique_ptr<TComponentSet> Components;
    /// Tells every component that the point moved.
    void PointMoved();
    /// Tells every component that a new volume is shown.
    void VolumeShown();
    /// Tells every component that the layout, mode or inversion changed.
    void DisplayChanged();
    /// Runs `f` as one user action: the changes it makes reach the
    /// components once each, after it.
    template <class F>
    void AsOneAction(F&& f) {
        TComponentSet::Batch batch(*Components);
        f();
    }
    /// Shows the three views again from their clean sections, with
    /// crosshairs.
    void RedisplayViews();

    // ---- Magnifier, inversion, info list, steps ---------------------------
    void LupeBtnClick();
    void LupeFak_UpClick();
    void Image4Click();
    void DrawLupe(TImage* view, int X, int Y);
    void InvertButtonClick();
    void ShowLBButtonClick();
    void BackBtnClick();
    void NextBtnClick();

    // ---- Save, export and import commands ------------------------------------
    void Speichern1Click();
    void Speichernunter1Click();
    void Exportieren1Click();
    void InsWebexportieren1Click();
    void Neu1Click();
    void DatenImport1Click();
    void Spotsetzen1Click();
    /// Hides and releases the overlay of "Datenimport..." (the sagittal
    /// view shows the volume alone again at its next rendering).
    void RemoveOverlay();
    void UeberlagerungEntfernen1Click();

    // ---- Options, view modes, printing, help ------------------------------
    void Optionen1Click();
    void normal1Click();
    void vergroessert1Click();
    void Symbol1Click();
    void FormResize();
    void Druckereinrichtung1Click();
    void Drucken1Click();
    /// "Hilfe" › "Anleitung" (F1): the manual, modeless, opened once.
    void Anleitung1Click();
    void Inhalt1Click();
    void Info1Click();
    /// A picture of the client area as shown: views with their layers
    /// (atlas colours, letters, rulers), panels, list, status bar.
    QImage ClientPicture();
    /// Lays the window out for a client area of the given height, as the
    /// maximised state does (enlarged, stretched views).
    /// `clientWidth` limits the enlarged views too; 0 lets the height alone
    /// decide.
    void LayoutForClientHeight(int clientHeight, bool maximised, int clientWidth = 0);
    /// The free cell of the enlarged layout, kept for the 3-D view (the
    /// client-area geometry of View3DSlot); empty in the normal layout.
    QRect View3DRect() const;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    Forms& forms_;
    bool maximisedLayout_ = false;  ///< the layout of the enlarged mode is in force
    bool layingOut_ = false;        ///< FormResize is placing the controls
    bool frameFixed_ = false;       ///< the normal state's designed frame is in force

    void BuildControls();
    void BuildMenu();
    void BuildPanels();
    void ConnectHandlers();
    void ConnectMenus();
    void ConnectViews();
    void ConnectPanels();
    bool IsMaximised() const;
    QPoint Scaled(TImage* view, int X, int Y) const;
    // The Open command's parts.
    void ReadInfoFileOfVolume();
    void LoadVolumeFile(const QString& fileName);
    bool OpenStack(const QStringList& files);
    void FinishOpen();
    /// The Open command from step 2 on, for the files in OpenDialog1.
    void OpenChosenFiles();
    /// Centres the loaded planes and the point and renders the three
    /// sections without crosshair.
    void Recentre();
    /// The import window's list, folder and count from the open dialog.
    void FillImportList(TNewBmpForm& w);
    void ShowInfoQuadrant(const QRect& source);
    /// Forgets the views' last-point records after the point moved by any
    /// path other than that view's own handlers, so a click there rebuilds.
    void InvalidateLastPoints(int exceptView = 0);
    void EdChange(QLineEdit* ed, TUpDown* up, int& coordinate);
    /// Types `value` (limited to 0…255) into the edit of axis 0, 1 or 2.
    void SetCoordinate(int axis, int value);
    /// Crosshairs in all three views after view `rebuilt` (1…3) was rebuilt;
    /// the other two are restored from their clean bitmaps first.
    void CrossAllViews(int rebuilt);
    void BuildComponents();
    /// Fixes the frame to the designed client area (normal state) or lets
    /// the window take any size (maximised state).
    void FixFrame(bool fixed);
};

}  // namespace zx
