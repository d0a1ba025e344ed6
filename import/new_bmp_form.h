// TNewBmpForm: the import window that builds volumes from BMP and DICOM
// image stacks. The user walks through the listed images, frames a
// 256 × 256 square of the displayed image, sets orientation, depth and the
// grey window of DICOM images, and "O&K" builds the volume (or the overlay
// volume, by Tag). The reader of the files is TImageReader; the window
// holds it, with its 2 MiB sample buffer, as part of itself.
#pragma once

#include <QDialog>

#include "core/import/image_reader.h"
#include "widgets/shift_state.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace zx {

class TMainWindowPort;
class TImage;
class TListBox;
class TRadioGroup;
class QuadOverlay;

class TNewBmpForm : public QDialog, public TImageReader {
    Q_OBJECT
public:
    explicit TNewBmpForm(TMainWindowPort& main);
    ~TNewBmpForm() override;

    // ---- Controls -------------------------------------------------------
    QLabel* Label2;         ///< number of files
    TListBox* FileListBox;  ///< bare file names; the current item is shown
    QPushButton* DelButton;
    QToolButton *MoveUpButton, *MoveDwnButton;
    TRadioGroup* RadioGroupSort;  ///< shown only, disabled
    TRadioGroup* RadioGroupSkal;  ///< stretch the picture to Image1's size
    QGroupBox* SizeBox;
    QLineEdit* Edit1;  ///< side length of Image1
    QPushButton* SizeButton;
    TRadioGroup* RadioGroup1;  ///< orientation SAG, COR, TRA
    TRadioGroup* RadioGroup2;  ///< depth 1…4
    QPushButton* QuadViewButton;
    TImage* Image2;  ///< the preview: the pixels under the square
    QLabel* PreviewLabel;
    QPushButton* Save2Button;
    QLabel* Label1;  ///< the folder of the listed files, with a trailing '/'
    QFrame* Shape1;  ///< black background behind Image1
    TImage* Image1;  ///< the displayed image and the square's field
    QPushButton *btn_SaveImg1, *btn_SaveSer;
    QPushButton *CancelButton, *OKButton;
    QLabel* QuadLabel;  ///< square position and progress texts
    QLabel *lbl_c, *lbl_w;
    QLineEdit *ed_c, *ed_w;
    QPushButton *btn_Update, *btn_AutoCenter;

    // ---- The square and the drags ---------------------------------------
    int Tag = 0;                 ///< import destination: 0 Volume, else OverlayVolume
    bool QuadDrawn = false;      ///< the outline is drawn now
    bool QuadForced = false;     ///< Image1Click draws the square (QuadViewButtonClick only)
    bool QuadDragging = false;   ///< a drag of the square is in progress
    bool QuadDragStart = false;  ///< the next move anchors the drag
    int LastX = 0, LastY = 0;    ///< pointer position in Image1, for both drags
    int QuadX = 0, QuadY = 0;    ///< the square's top-left corner, window coordinates
    int QuadDrawnX = 0, QuadDrawnY = 0;    ///< where the outline was drawn last
    int QuadOriginX = 0, QuadOriginY = 0;  ///< the corner when the drag was anchored
    bool Windowing = false;  ///< a right-button drag of the grey window is in progress

    // ---- Handlers -------------------------------------------------------
    void FormCreate();
    void FileListBoxClick();
    void DelButtonClick();
    void MoveUpButtonClick();
    void MoveDwnButtonClick();
    void QuadViewButtonClick();
    void Image1Click();
    void Image1MouseDown(TMouseButton button, TShiftState shift, int X, int Y);
    void Image1MouseMove(TShiftState shift, int X, int Y);
    void Image1MouseUp(TMouseButton button, TShiftState shift, int X, int Y);
    void SizeButtonClick();
    void RadioGroupSkalClick();
    void ed_cChange();
    void ed_wChange();
    void btn_UpdateClick();
    void btn_AutoCenterClick();
    void OKButtonClick();
    void btn_SaveImg1Click();
    void btn_SaveSerClick();
    void Save2ButtonClick();
    void Button3Click();

    // ---- Reading and drawing --------------------------------------------
    /// Opens the file of a list entry (make it the current item first).
    void OpenBmpOrDcmFromFile(const QString& entry);
    /// Renders the samples through the window into Image1.
    void ShowSamples();
    void DrawQuad(int x, int y);
    /// The window's pixels under the square, as shown, into the preview.
    void CopyQuadToPreview();
    /// What the window shows at the square (an off-screen rendering of
    /// Shape1, Image1 and the outline).
    QImage RenderQuadArea() const;
    /// Repaints Image1 at once; the outline is gone afterwards.
    void RepaintImage1();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    TMainWindowPort& main_;
    QuadOverlay* overlay_;
    bool windowCursor_ = false;  ///< the four-way pointer is set

    void BuildControls();
    void ConnectHandlers();
    QString PathOf(const QString& entry) const;
};

}  // namespace zx
