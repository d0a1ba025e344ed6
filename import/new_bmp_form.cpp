#include "import/new_bmp_form.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QToolButton>
#include <cstring>

#include "core/import/volume_assembly.h"
#include "core/texts.h"
#include "core/volume/bmp_stack.h"
#include "core/volume/bmp_write.h"
#include "core/volume/runtime_error.h"
#include "core/volume/vmr_file.h"
#include "core/volume/volume.h"
#include "dialogs/main_window_port.h"
#include "widgets/guard.h"
#include "widgets/hourglass.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/prompter.h"
#include "widgets/radio_group.h"

namespace zx {

/// The square's outline, drawn over Image1 and Shape1 by exclusive or with
/// red, as the window shows it; it lets the mouse through.
class QuadOverlay : public QWidget {
public:
    QuadOverlay(TNewBmpForm& form, QWidget* parent) : QWidget(parent), form_(form) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!form_.QuadDrawn) return;
        QPainter p(this);
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(QColor(255, 0, 0), 0));
        p.drawRect(form_.QuadDrawnX - x(), form_.QuadDrawnY - y(), 255, 255);
    }

private:
    TNewBmpForm& form_;
};

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, QRect geometry,
                    const char* hint = nullptr) {
    auto* b = Named(new QPushButton(Utf8(caption), parent), name);
    b->setGeometry(geometry);
    if (hint) b->setToolTip(Utf8(hint));
    return b;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption, int x, int y) {
    auto* l = Named(new QLabel(Utf8(caption), parent), name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

}  // namespace

TNewBmpForm::TNewBmpForm(TMainWindowPort& main) : main_(main) {
    setObjectName(QStringLiteral("NewBmpForm"));
    setWindowTitle(QStringLiteral("Zerebrix - Neues Projekt - Bildimport"));
    setWindowFlag(Qt::Tool);
    setModal(true);
    BuildControls();
    ConnectHandlers();
    resize(552, 615);
    move(533, 36);
    FormCreate();
}

TNewBmpForm::~TNewBmpForm() = default;

void TNewBmpForm::BuildControls() {
    Label2 = Label(this, "Label2", "0 Dateien.", 8, 4);
    FileListBox = Named(new TListBox(this), "FileListBox");
    FileListBox->setGeometry(8, 24, 193, 185);
    FileListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DelButton = Button(this, "DelButton", "---", {208, 24, 51, 25}, "Datei aus der Liste löschen");
    MoveUpButton = Named(new QToolButton(this), "MoveUpButton");
    MoveUpButton->setArrowType(Qt::UpArrow);
    MoveUpButton->setGeometry(208, 56, 23, 25);
    MoveUpButton->setToolTip(QStringLiteral("nach oben verschieben"));
    MoveDwnButton = Named(new QToolButton(this), "MoveDwnButton");
    MoveDwnButton->setArrowType(Qt::DownArrow);
    MoveDwnButton->setGeometry(236, 56, 23, 25);
    MoveDwnButton->setToolTip(QStringLiteral("nach unten verschieben"));
    RadioGroupSort =
        Named(new TRadioGroup(QStringLiteral("Sort..: "),
                              {QStringLiteral("&a..z"), QStringLiteral("1..&9")}, 1, this),
              "RadioGroupSort");
    RadioGroupSort->setGeometry(208, 88, 53, 59);
    RadioGroupSort->SetItemIndex(0);
    RadioGroupSort->setEnabled(false);
    RadioGroupSort->setToolTip(QStringLiteral("Sortierung: alphabetisch oder numerisch"));
    RadioGroupSkal =
        Named(new TRadioGroup(QStringLiteral("Skal.:"),
                              {QStringLiteral("a&us"), QStringLiteral("&ein")}, 1, this),
              "RadioGroupSkal");
    RadioGroupSkal->setGeometry(208, 150, 53, 59);
    RadioGroupSkal->SetItemIndex(0);
    RadioGroupSkal->setToolTip(QStringLiteral("Skalierung aus- oder einschalten."));
    SizeBox = Named(new QGroupBox(Utf8("Zielgröße"), this), "SizeBox");
    SizeBox->setGeometry(168, 213, 94, 37);
    Edit1 = Named(new QLineEdit(QStringLiteral("256"), SizeBox), "Edit1");
    Edit1->setGeometry(6, 14, 36, 19);
    SizeButton = Button(SizeBox, "SizeButton", "setzen", {46, 13, 44, 21});
    RadioGroup1 = Named(
        new TRadioGroup(QStringLiteral("Orientierung: "),
                        {QStringLiteral("&SAG"), QStringLiteral("&COR"), QStringLiteral("&TRA")}, 3,
                        this),
        "RadioGroup1");
    RadioGroup1->setGeometry(8, 214, 153, 35);
    RadioGroup1->SetItemIndex(0);
    RadioGroup2 = Named(new TRadioGroup(QStringLiteral("Bildtiefe (Schichten): "),
                                        {QStringLiteral("&1"), QStringLiteral("&2"),
                                         QStringLiteral("&3"), QStringLiteral("&4")},
                                        4, this),
                        "RadioGroup2");
    RadioGroup2->setGeometry(8, 253, 153, 35);
    RadioGroup2->SetItemIndex(0);
    QuadViewButton = Button(this, "QuadViewButton", "Quadrat an&zeigen", {168, 262, 97, 24});
    Image2 = Named(new TImage(this), "Image2");
    Image2->setGeometry(8, 295, 256, 256);
    Image2->Picture() = QImage(256, 256, QImage::Format_RGB32);
    Image2->Picture().fill(Qt::black);
    PreviewLabel = Label(this, "PreviewLabel", "Vorschau:", 13, 298);
    PreviewLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Save2Button = Button(this, "Save2Button", "(Speichern)", {194, 300, 64, 18},
                         "Speichert den aktuellen Bildausschnitt (nur zu Testzwecken)");
    Label1 = Label(this, "Label1", "Pfad: keiner.", 270, 4);
    Shape1 = Named(new QFrame(this), "Shape1");
    Shape1->setGeometry(270, 20, 256, 256);
    Shape1->setStyleSheet(QStringLiteral("background: black;"));
    Image1 = Named(new TImage(this), "Image1");
    Image1->setGeometry(270, 20, 256, 256);
    QPalette black = Image1->palette();  // Shape1's black beyond the picture
    black.setColor(QPalette::Window, Qt::black);
    Image1->setPalette(black);
    overlay_ = new QuadOverlay(*this, this);
    overlay_->setGeometry(Shape1->geometry());
    btn_SaveImg1 = Button(this, "btn_SaveImg1", "Bild speichern", {336, 544, 97, 17},
                          "Speichert das angezeigte Bild als Bitmap");
    btn_SaveSer = Button(this, "btn_SaveSer", "Serie speichern", {440, 544, 97, 17},
                         "Speichert die ausgewählte Bildserie als Bitmaps");
    CancelButton =
        Button(this, "CancelButton", "A&bbruch", {8, 562, 57, 23}, "Bildimport abbrechen.");
    OKButton = Button(this, "OKButton", "O&K", {72, 562, 57, 23}, "Bildimport starten.");
    QuadLabel = Label(this, "QuadLabel", "Auswahl: [0; 0]", 140, 568);
    QuadLabel->setMinimumWidth(160);
    lbl_c = Label(this, "lbl_c", "c:", 302, 568);
    ed_c = Named(new QLineEdit(QStringLiteral("100"), this), "ed_c");
    ed_c->setGeometry(314, 565, 51, 21);
    lbl_w = Label(this, "lbl_w", "w:", 372, 568);
    ed_w = Named(new QLineEdit(QStringLiteral("200"), this), "ed_w");
    ed_w->setGeometry(384, 565, 49, 21);
    btn_Update = Button(this, "btn_Update", "&Update", {440, 564, 49, 21},
                        "Center und Width bei DICOM-Bildern aktualisieren.");
    btn_AutoCenter = Button(this, "btn_AutoCenter", "&Auto", {496, 564, 41, 21},
                            "Center und Width automatisch einstellen.");
}

void TNewBmpForm::ConnectHandlers() {
    connect(FileListBox, &QListWidget::itemClicked, this, Slot([this] { FileListBoxClick(); }));
    connect(DelButton, &QPushButton::clicked, this, Slot([this] { DelButtonClick(); }));
    connect(MoveUpButton, &QToolButton::clicked, this, Slot([this] { MoveUpButtonClick(); }));
    connect(MoveDwnButton, &QToolButton::clicked, this, Slot([this] { MoveDwnButtonClick(); }));
    connect(QuadViewButton, &QPushButton::clicked, this, Slot([this] { QuadViewButtonClick(); }));
    connect(SizeButton, &QPushButton::clicked, this, Slot([this] { SizeButtonClick(); }));
    for (int i = 0; i < RadioGroupSkal->Count(); ++i) {
        connect(RadioGroupSkal->Button(i), &QAbstractButton::clicked, this,
                Slot([this] { RadioGroupSkalClick(); }));
    }
    connect(ed_c, &QLineEdit::textChanged, this, Slot([this](const QString&) { ed_cChange(); }));
    connect(ed_w, &QLineEdit::textChanged, this, Slot([this](const QString&) { ed_wChange(); }));
    connect(btn_Update, &QPushButton::clicked, this, Slot([this] { btn_UpdateClick(); }));
    connect(btn_AutoCenter, &QPushButton::clicked, this, Slot([this] { btn_AutoCenterClick(); }));
    // The OK button's modal result closes the window whatever the import did.
    connect(OKButton, &QPushButton::clicked, this, [this] {
        Guarded([this] { OKButtonClick(); });
        accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(btn_SaveImg1, &QPushButton::clicked, this, Slot([this] { btn_SaveImg1Click(); }));
    connect(btn_SaveSer, &QPushButton::clicked, this, Slot([this] { btn_SaveSerClick(); }));
    connect(Save2Button, &QPushButton::clicked, this, Slot([this] { Save2ButtonClick(); }));
    Image1->OnMouseDown = [this](TMouseButton b, TShiftState s, int x, int y) {
        Image1MouseDown(b, s, x, y);
    };
    Image1->OnMouseMove = [this](TShiftState s, int x, int y) { Image1MouseMove(s, x, y); };
    Image1->OnMouseUp = [this](TMouseButton b, TShiftState s, int x, int y) {
        Image1MouseUp(b, s, x, y);
    };
    Image1->OnClick = [this] { Image1Click(); };
}

void TNewBmpForm::FormCreate() {
    QuadForced = false;
    QuadDrawn = false;
    Windowing = false;
    QuadX = Image1->x();
    QuadY = Image1->y();
    Columns = 512;
    Rows = 512;
    WinCenter = 100;
    WinWidth = 200;
    IsDicom = false;
}

void TNewBmpForm::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    QSize s = e->size();
    if (s.width() < 540) s.setWidth(550);
    if (s.height() < 480) s.setHeight(480);
    if (s != e->size()) resize(s);
}

// ---- Reading and showing ----------------------------------------------------

QString TNewBmpForm::PathOf(const QString& entry) const { return Label1->text() + entry; }

void TNewBmpForm::OpenBmpOrDcmFromFile(const QString& entry) {
    const QString path = PathOf(entry);
    if (IsBmpName(path)) {
        IsDicom = false;
        Image1->AssignPicture(LoadBmpFile(path));
        return;
    }
    QString caption = windowTitle();
    try {
        OpenAFile(path, caption);
    } catch (const RuntimeError&) {
        // A refused image must not look like the old samples.
        QImage black(Image1->Picture().isNull() ? QSize(256, 256) : Image1->Picture().size(),
                     QImage::Format_RGB32);
        black.fill(Qt::black);
        Image1->AssignPicture(black);
        throw;
    }
    setWindowTitle(caption);
    ShowSamples();
}

void TNewBmpForm::ShowSamples() {
    Image1->TakePicture(CopyBufToPic());
    QuadDrawn = false;
    overlay_->update();
}

void TNewBmpForm::RepaintImage1() {
    QuadDrawn = false;
    Image1->repaint();
    overlay_->update();
}

void TNewBmpForm::FileListBoxClick() {
    QuadDrawn = false;
    FileListBox->SetSorted(false);
    QListWidgetItem* item = FileListBox->currentItem();
    if (!item) return;
    item->setSelected(true);
    OpenBmpOrDcmFromFile(item->text());
    RepaintImage1();
    CopyQuadToPreview();
}

// ---- List editing -------------------------------------------------------------

void TNewBmpForm::DelButtonClick() {
    if (FileListBox->count() == 0) return;
    for (int i = FileListBox->count() - 1; i >= 0; --i) {
        if (FileListBox->item(i)->isSelected()) delete FileListBox->takeItem(i);
    }
    Label2->setText(QString::number(FileListBox->count()) + QStringLiteral(" Dateien ausgewählt."));
    Label2->adjustSize();
    const int current = FileListBox->currentRow();
    if (current > 0) FileListBox->item(current)->setSelected(true);
}

void TNewBmpForm::MoveUpButtonClick() {
    FileListBox->SetSorted(false);
    if (FileListBox->selectedItems().isEmpty()) return;
    const bool firstSelected = FileListBox->item(0)->isSelected();
    if (firstSelected) return;  // a block at the top cannot move up
    for (int i = 1; i < FileListBox->count(); ++i) {
        if (!FileListBox->item(i)->isSelected()) continue;
        QListWidgetItem* item = FileListBox->takeItem(i);
        FileListBox->insertItem(i - 1, item);
        item->setSelected(true);
    }
}

void TNewBmpForm::MoveDwnButtonClick() {
    FileListBox->SetSorted(false);
    if (FileListBox->selectedItems().isEmpty()) return;
    const int last = FileListBox->count() - 1;
    if (FileListBox->item(last)->isSelected()) return;  // a block at the bottom cannot move down
    for (int i = last - 1; i >= 0; --i) {
        if (!FileListBox->item(i)->isSelected()) continue;
        QListWidgetItem* item = FileListBox->takeItem(i);
        FileListBox->insertItem(i + 1, item);
        item->setSelected(true);
    }
}

// ---- Size and scaling ------------------------------------------------------------

void TNewBmpForm::SizeButtonClick() {
    // Sides beyond 4096 pixels would make a window no screen can hold.
    const int n = std::clamp(StrToInt(Edit1->text()), 1, 4096);
    Image1->resize(n, n);
    const int shape = std::max(256, n);
    Shape1->resize(shape, shape);
    overlay_->setGeometry(Shape1->geometry());
    resize(Image1->width() <= 256 ? 540 : Image1->width() + 285, height());
    RepaintImage1();
    CopyQuadToPreview();
}

void TNewBmpForm::RadioGroupSkalClick() {
    Image1->SetStretch(RadioGroupSkal->ItemIndex() == 1);
    RepaintImage1();
    CopyQuadToPreview();
}

void TNewBmpForm::Button3Click() { Image1->SetStretch(!Image1->Stretch()); }

// ---- The square --------------------------------------------------------------

void TNewBmpForm::QuadViewButtonClick() {
    QuadDrawn = false;
    if (QListWidgetItem* item = FileListBox->currentItem()) OpenBmpOrDcmFromFile(item->text());
    RepaintImage1();
    QuadForced = true;
    Image1Click();
    QuadForced = false;
}

void TNewBmpForm::Image1Click() {
    if (QuadForced) DrawQuad(QuadX, QuadY);
}

void TNewBmpForm::DrawQuad(int x, int y) {
    const QRect img = Image1->geometry();
    if (x > img.left() + img.width() - 256) x = img.left() + img.width() - 256;
    if (y > img.top() + img.height() - 256) y = img.top() + img.height() - 256;
    if (x < img.left()) x = img.left();
    if (y < img.top()) y = img.top();
    // The overlay draws the outline at its new place; the old one is gone
    // with the repaint, as drawing it a second time by exclusive or would do.
    QuadDrawn = true;
    QuadLabel->setText(QStringLiteral("Auswahl: [%1;%2]").arg(x - img.left()).arg(y - img.top()));
    QuadDrawnX = x;
    QuadDrawnY = y;
    QuadX = x;
    QuadY = y;
    overlay_->update();
}

QImage TNewBmpForm::RenderQuadArea() const {
    QImage area(256, 256, QImage::Format_RGB32);
    area.fill(Qt::black);  // Shape1, where the picture does not reach
    QPainter p(&area);
    p.translate(-QuadX, -QuadY);
    const QRect img = Image1->geometry();
    const QImage& pic = Image1->Picture();
    if (!pic.isNull()) {
        p.setClipRect(img);
        if (Image1->Stretch()) {
            p.drawImage(img, pic);
        } else {
            p.drawImage(img.topLeft(), pic);
        }
        p.setClipping(false);
    }
    if (QuadDrawn) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(QColor(255, 0, 0), 0));
        p.drawRect(QuadDrawnX, QuadDrawnY, 255, 255);
    }
    return area;
}

void TNewBmpForm::CopyQuadToPreview() { Image2->TakePicture(RenderQuadArea()); }

// ---- Square drag and grey-window drag ----------------------------------------

void TNewBmpForm::Image1MouseDown(TMouseButton, TShiftState shift, int X, int Y) {
    if ((shift & ssRight) && IsDicom) {
        if (!windowCursor_) QGuiApplication::setOverrideCursor(Qt::SizeAllCursor);
        windowCursor_ = true;
        LastX = X;
        LastY = Y;
        WinCenter = StrToInt(ed_c->text());
        WinWidth = StrToInt(ed_w->text());
        Windowing = true;
        setAttribute(Qt::WA_OpaquePaintEvent, true);  // no background erase while re-rendering
        return;
    }
    QuadDragging = true;
    QuadDragStart = true;
    DrawQuad(QuadX, QuadY);
}

void TNewBmpForm::Image1MouseMove(TShiftState shift, int X, int Y) {
    if ((shift & ssRight) && Windowing && IsDicom) {
        if (Y != LastY) ed_c->setText(QString::number(WinCenter + (Y - LastY)));
        if (X != LastX) ed_w->setText(QString::number(std::max(1, WinWidth + (X - LastX))));
        CalcWindow();
        if (X != LastX && Y != LastY) ShowSamples();
        LastX = X;
        LastY = Y;
    }
    if (!QuadDragging) return;
    if (QuadDragStart) {
        LastX = X;
        LastY = Y;
        QuadOriginX = QuadX;
        QuadOriginY = QuadY;
        QuadDragStart = false;
    }
    QuadX = X + QuadOriginX - LastX;
    QuadY = Y + QuadOriginY - LastY;
    DrawQuad(QuadX, QuadY);
}

void TNewBmpForm::Image1MouseUp(TMouseButton, TShiftState, int, int) {
    Windowing = false;
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    ed_c->setText(QString::number(WinCenter));
    ed_w->setText(QString::number(WinWidth));
    if (windowCursor_) QGuiApplication::restoreOverrideCursor();
    windowCursor_ = false;
    if (!QuadDragging) return;
    QuadDragStart = false;
    QuadDragging = false;
    DrawQuad(QuadX, QuadY);
    CopyQuadToPreview();
}

// ---- Grey window -------------------------------------------------------------

void TNewBmpForm::ed_cChange() {
    WinCenter = StrToInt(ed_c->text());
    CalcWindow();
}

void TNewBmpForm::ed_wChange() {
    WinWidth = StrToInt(ed_w->text());
    CalcWindow();
}

void TNewBmpForm::btn_UpdateClick() {
    if (IsDicom) ShowSamples();
}

void TNewBmpForm::btn_AutoCenterClick() {
    if (!IsDicom) return;
    AutoWindow();
    ed_c->setText(QString::number(WinCenter));
    ed_w->setText(QString::number(WinWidth));
    CalcWindow();
    ShowSamples();
}

// ---- Volume assembly -------------------------------------------------------------

void TNewBmpForm::OKButtonClick() {
    const int n = FileListBox->count();
    const int d = RadioGroup2->ItemIndex() + 1;
    const int total = n * d;
    if (total > main_.StackCapacity()) {
        prompter().MessageDlg(
            MsgKind::Error, Utf8(texts::kTitleError),
            Utf8(texts::kTooManySlicesA) + QString::number(total) + Utf8(texts::kTooManySlicesB),
            mbCancel);
        return;
    }
    const int orientation = RadioGroup1->ItemIndex();
    HourGlass hourglass;
    // Built aside and committed only when every file was read, so a failing
    // file leaves the destination as it was.
    std::uint8_t* staging = StagingVolume();
    std::memset(staging, 0, kVolumeBytes);
    const int o = ImportOffset(total);
    try {
        for (int i = 0; i < n; ++i) {
            FileListBox->setCurrentRow(i);
            const QString entry = FileListBox->item(i)->text();
            OpenBmpOrDcmFromFile(entry);
            QuadLabel->setText(QStringLiteral("... lade ") + entry);
            RepaintImage1();
            CopyQuadToPreview();
            WriteImportPlanes(Image2->Picture(), i, d, orientation, o, staging);
        }
    } catch (...) {
        if (Tag == 0) QuadLabel->clear();
        throw;
    }
    if (Tag == 0) {
        AdoptedVolume v;
        v.voxels = staging;
        v.planes = orientation == 0 ? total : 255;
        v.caption = Utf8(texts::kImportedBitmapsCaption);
        main_.AdoptVolume(v);
        QuadLabel->clear();
    } else {
        main_.AdoptOverlay(staging);
    }
}

// ---- Bitmap saves ------------------------------------------------------------------

void TNewBmpForm::btn_SaveImg1Click() {
    QString name = QStringLiteral("Img_");
    if (!prompter().InputQuery(QStringLiteral("Bitmap-Export"),
                               QStringLiteral("Dateiname eingeben (Basis, ohne Endung)"), name)) {
        return;
    }
    SaveBmp24(Image1->Picture(), name + QStringLiteral(".bmp"));
}

void TNewBmpForm::btn_SaveSerClick() {
    QString prefix = QStringLiteral("New_");
    if (!prompter().InputQuery(QStringLiteral("Bitmapserien-Export"),
                               QStringLiteral("ggf. Dateiprefix eingeben ( .bmp wird angehängt)."),
                               prefix)) {
        return;
    }
    HourGlass hourglass;
    int k = 0;
    struct Report {
        QLabel* label;
        const int& count;
        ~Report() {
            label->setText(QString::number(count) + QStringLiteral(" Bitmaps gespeichert."));
        }
    } report{QuadLabel, k};
    for (int i = 0; i < FileListBox->count(); ++i) {
        FileListBox->setCurrentRow(i);
        const QString entry = FileListBox->item(i)->text();
        OpenBmpOrDcmFromFile(entry);
        RepaintImage1();
        SaveBmp24(Image1->Picture(), prefix + entry + QStringLiteral(".bmp"));
        QuadLabel->setText(QStringLiteral("... speichere ") + entry);
        ++k;
    }
}

void TNewBmpForm::Save2ButtonClick() {
    SaveBmp24(Image2->Picture(), QStringLiteral("save256.bmp"));
}

}  // namespace zx
