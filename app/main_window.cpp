#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QToolButton>
#include <cmath>

#include "app/forms.h"
#include "core/render/crosshair.h"
#include "core/render/sections.h"
#include "core/texts.h"
#include "dialogs/options_dialog.h"
#include "teach/atlas.h"
#include "widgets/guard.h"
#include "widgets/image_view.h"
#include "widgets/list_box.h"
#include "widgets/status_bar.h"
#include "widgets/text_plate.h"
#include "widgets/up_down.h"

namespace zx {

std::array<TStep, 1501> Steps{};
std::unique_ptr<VolumeArray> OverlayVolume;

QString ViewName(int view) {
    return (view >= 1 && view <= 3) ? QString::fromLatin1(texts::kViewNames[view]) : QString();
}

namespace {

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

/// A view title or axis letter: white, bold, on a small dark plate so that it
/// stays readable over the inverted (white) views; it lets the mouse through
/// to the view below it.
TViewLabel* MakeViewLabel(QWidget* parent, const char* name, const char* text, int x, int y,
                          bool axis) {
    auto* l = Named(
        new TViewLabel(QString::fromLatin1(text), axis ? QColor(220, 220, 220) : QColor(Qt::white),
                       QColor(0, 0, 0, 150), parent),
        name);
    QFont f = ProgramFont();
    f.setPointSize(8);
    f.setBold(true);
    l->setFont(f);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    l->adjustSize();
    l->move(x, y);
    if (axis) l->setEnabled(false);  // drawn greyed, as designed
    return l;
}

}  // namespace

TForm1::TForm1(Forms& forms) : forms_(forms) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(texts::kMainCaption));
    BuildControls();
    BuildMenu();
    FixFrame(true);
    ConnectHandlers();
    FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::BuildControls() {
    Client = Named(new QWidget(this), "Client");
    Client->setFixedSize(537, 545);
    Client->installEventFilter(this);
    setCentralWidget(Client);

    Image1 = Named(new TImage(Client), "Image1");
    Image1->setGeometry(8, 4, 256, 256);
    Image2 = Named(new TImage(Client), "Image2");
    Image2->setGeometry(274, 4, 256, 256);
    Image3 = Named(new TImage(Client), "Image3");
    Image3->setGeometry(274, 268, 256, 256);

    BuildPanels();
    View3DSlot = Named(new QWidget(Client), "View3DSlot");
    View3DSlot->hide();

    FileListBox = Named(new TListBox(Client), "FileListBox");
    FileListBox->setGeometry(8, 376, 257, 121);
    FileListBox->setStyleSheet(QStringLiteral("QListWidget { background: silver; }"));

    StatusBar1 = Named(new TStatusBar(Client), "StatusBar1");
    StatusBar1->setGeometry(0, 545 - 19, 537, 19);
    StatusBar1->SetSimpleText(QString::fromUtf8(texts::kCopyright));

    // Labels last, so they lie over the views.
    SAG_Label = MakeViewLabel(Client, "SAG_Label", "SAG", 126, 12, false);
    COR_Label = MakeViewLabel(Client, "COR_Label", "COR", 390, 12, false);
    TRA_Label = MakeViewLabel(Client, "TRA_Label", "TRA", 390, 276, false);
    y_Label1 = MakeViewLabel(Client, "y_Label1", "y", 252, 244, true);
    x_Label1 = MakeViewLabel(Client, "x_Label1", "x", 520, 244, true);
    z_Label2 = MakeViewLabel(Client, "z_Label2", "z", 280, 4, true);
    x_Label2 = MakeViewLabel(Client, "x_Label2", "x", 520, 508, true);
    y_Label2 = MakeViewLabel(Client, "y_Label2", "y", 280, 268, true);
    TViewLabel* z = MakeViewLabel(Client, "z_Label1", "z", 14, 4, true);
    z->SetInk(palette().color(QPalette::Button));  // this one in the button-face colour
    z_Label1 = z;

    Printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // The label volumes beside a head have a filter of their own (the last,
    // so the import commands' filter numbers stay) and are left out of the
    // volume filter.
    QStringList labels;
    for (const AtlasKind& k : kAtlases)
        labels << QStringLiteral("*.%1.vmr").arg(QLatin1String(k.key));
    OpenDialog1.Filter =
        QString::fromUtf8(texts::kOpenFilter) +
        QStringLiteral("|Atlas-Beschriftungen (%1)|%2").arg(labels.join(u' '), labels.join(u';')) +
        u'|' + QString::fromUtf8(texts::kVolumeFilesFilter);
    OpenDialog1.HiddenByFirstFilter = labels;
    OpenDialog1.DefaultExt = QStringLiteral("bmp");
    OpenDialog1.AllowMultiSelect = true;
    SaveDialog1.Filter = QStringLiteral("Zerebrix-MR-Serie (*.vmr)|*.vmr");
    SaveDialog1.DefaultExt = QStringLiteral("vmr");
}

void TForm1::BuildPanels() {
    InfoPanel = Named(new QFrame(Client), "InfoPanel");
    InfoPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    InfoPanel->setGeometry(8, 502, 258, 21);
    OrientLabel = Named(new QLabel(InfoPanel), "OrientLabel");
    OrientLabel->setGeometry(4, 2, 30, 17);
    xLabel = Named(new QLabel(InfoPanel), "xLabel");
    xLabel->setGeometry(36, 2, 40, 17);
    yLabel = Named(new QLabel(InfoPanel), "yLabel");
    yLabel->setGeometry(78, 2, 40, 17);
    ColorLabel = Named(new QLabel(InfoPanel), "ColorLabel");
    ColorLabel->setGeometry(120, 2, 136, 17);

    NavPanel = Named(new QFrame(Client), "NavPanel");
    NavPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    NavPanel->setGeometry(188, 268, 77, 100);
    struct Row {
        QLabel** label;
        QLineEdit** edit;
        TUpDown** up;
        const char *labelName, *editName, *upName, *caption;
    };
    const Row rows[] = {{&xg_Lbl, &xg_Ed, &xg_Up, "xg_Lbl", "xg_Ed", "xg_Up", "X:"},
                        {&yg_Lbl, &yg_Ed, &yg_Up, "yg_Lbl", "yg_Ed", "yg_Up", "Y:"},
                        {&zg_Lbl, &zg_Ed, &zg_Up, "zg_Lbl", "zg_Ed", "zg_Up", "Z:"}};
    int y = 8;
    for (const Row& r : rows) {
        *r.label = Named(new QLabel(QString::fromLatin1(r.caption), NavPanel), r.labelName);
        (*r.label)->setGeometry(6, y + 2, 16, 17);
        *r.edit = Named(new QLineEdit(QStringLiteral("0"), NavPanel), r.editName);
        (*r.edit)->setMaxLength(3);
        (*r.edit)->setGeometry(22, y, 34, 22);
        *r.up = Named(new TUpDown(NavPanel), r.upName);
        (*r.up)->SetRange(0, 255);
        (*r.up)->SetPosition(0);
        (*r.up)->setGeometry(56, y, 16, 22);
        y += 30;
    }

    BtnPanel = Named(new QWidget(Client), "BtnPanel");
    BtnPanel->setGeometry(8, 268, 180, 102);
    Image4 = Named(new TImage(BtnPanel), "Image4");
    Image4->setGeometry(0, 0, 100, 100);
    Image4->Picture() = QImage(100, 100, QImage::Format_RGB32);
    Image4->Picture().fill(Qt::white);
    Image4->hide();
    ShowLBButton = Named(new QPushButton(QStringLiteral("In&fo"), BtnPanel), "ShowLBButton");
    ShowLBButton->setGeometry(106, 0, 70, 29);
    // The list is visible at start, so the hint offers to hide it.
    ShowLBButton->setToolTip(QStringLiteral("Infos ausblenden"));
    InvertButton = Named(new QPushButton(QStringLiteral("&Invertieren"), BtnPanel), "InvertButton");
    InvertButton->setGeometry(106, 34, 70, 29);
    LupeBtn = Named(new QToolButton(BtnPanel), "LupeBtn");
    LupeBtn->setText(QStringLiteral("Lupe "));
    LupeBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    LupeBtn->setGeometry(106, 68, 52, 29);
    LupeBtn->setToolTip(QStringLiteral("Lupe einschalten"));
    LupeFak_Up = Named(new TUpDown(BtnPanel), "LupeFak_Up");
    LupeFak_Up->SetRange(1, 4);
    LupeFak_Up->SetPosition(2);
    LupeFak_Up->setGeometry(160, 68, 16, 29);
    LupeFak_Up->SetHint(QString::fromUtf8("Vergrößerung : 2x"));
    BackBtn = Named(new QToolButton(BtnPanel), "BackBtn");
    BackBtn->setArrowType(Qt::LeftArrow);
    BackBtn->setGeometry(50, 79, 21, 21);
    BackBtn->setToolTip(QStringLiteral("letzter Schritt"));
    NextBtn = Named(new QToolButton(BtnPanel), "NextBtn");
    NextBtn->setArrowType(Qt::RightArrow);
    NextBtn->setGeometry(73, 79, 21, 21);
    NextBtn->setToolTip(QString::fromUtf8("nächster Schritt"));
}

void TForm1::BuildMenu() {
    MainMenu1 = Named(new QMenuBar(this), "MainMenu1");
    setMenuBar(MainMenu1);
    auto action = [](QMenu* menu, const char* name, const char* caption, const char* hint) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        if (hint) a->setStatusTip(QString::fromUtf8(hint));
        return a;
    };
    Datei1 = Named(MainMenu1->addMenu(QStringLiteral("&Datei")), "Datei1");
    ffnen1 = action(Datei1, "ffnen1", "Ö&ffnen...", "Datei(en) öffnen");
    NiftiOeffnen1 = action(Datei1, "NiftiOeffnen1", "&NIfTI-Datei öffnen...",
                           "Volumendatei öffnen: NIfTI (.nii, .hdr/.img), Analyze 7.5, MGH/MGZ, "
                           "NRRD, MetaImage, MINC");
    NaechstesVolumen1 = action(Datei1, "NaechstesVolumen1", "Nächstes &Volumen",
                               "Nächstes Volumen einer 4-D-Datei zeigen");
    VorigesVolumen1 = action(Datei1, "VorigesVolumen1", "Voriges Vol&umen",
                             "Voriges Volumen einer 4-D-Datei zeigen");
    NaechstesVolumen1->setShortcut(QKeySequence(Qt::Key_V));
    VorigesVolumen1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_V));
    NaechstesVolumen1->setEnabled(false);
    VorigesVolumen1->setEnabled(false);
    DicomSerieOeffnen1 = action(Datei1, "DicomSerieOeffnen1", "DICOM-&Serie öffnen...",
                                "Ordner mit einer DICOM-Serie öffnen");
    ZuletztGeoeffnet1 =
        Named(Datei1->addMenu(QString::fromUtf8("&Zuletzt geöffnet")), "ZuletztGeoeffnet1");
    Neu1 = action(Datei1, "Neu1", "Neues &Projekt...",
                  "Neues Projekt aus Bilddateien (BMP, DICOM) erstellen");
    Speichern1 = action(Datei1, "Speichern1", "Spei&chern", "Datensatz speichern");
    Speichernunter1 = action(Datei1, "Speichernunter1", "Speichern &unter...",
                             "Datensatz unter neuem Namen speichern");
    N3 = Named(Datei1->addSeparator(), "N3");
    DatenImport1 = action(Datei1, "DatenImport1", "Daten&import...",
                          "Zweiten Datensatz aus Bilddateien einblenden");
    UeberlagerungEntfernen1 = action(Datei1, "UeberlagerungEntfernen1", "&Überlagerung entfernen",
                                     "Eingeblendeten zweiten Datensatz ausblenden und verwerfen");
    Exportieren1 = action(Datei1, "Exportieren1", "E&xportieren...",
                          "Schnittbilder als Bitmap-Serie exportieren");
    InsWebexportieren1 = action(Datei1, "InsWebexportieren1", "Ins &Web exportieren...",
                                "Bildsatz für Webseiten exportieren");
    N2 = Named(Datei1->addSeparator(), "N2");
    Drucken1 = action(Datei1, "Drucken1", "&Drucken...", nullptr);
    Druckereinrichtung1 = action(Datei1, "Druckereinrichtung1", "Drucker&einrichtung...", nullptr);
    N1 = Named(Datei1->addSeparator(), "N1");
    Beenden1 = action(Datei1, "Beenden1", "&Beenden", "Programm beenden");
    // The desktop's usual keys; the menus show them.
    ffnen1->setShortcut(QKeySequence::Open);
    Drucken1->setShortcut(QKeySequence::Print);
    Beenden1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Optionen1 = Named(MainMenu1->addAction(QStringLiteral("&Optionen")), "Optionen1");
    Ansicht1 = Named(MainMenu1->addMenu(QStringLiteral("&Ansicht")), "Ansicht1");
    normal1 = action(Ansicht1, "normal1", "&normal", nullptr);
    vergroessert1 = action(Ansicht1, "vergroessert1", "&vergrößert", nullptr);
    Symbol1 = action(Ansicht1, "Symbol1", "als &Symbol", nullptr);
    N4 = Named(Ansicht1->addSeparator(), "N4");
    Spotsetzen2 =
        action(Ansicht1, "Spotsetzen2", "&Position melden", "Position des Fadenkreuzes anzeigen");
    Hilfe1 = Named(MainMenu1->addMenu(QStringLiteral("&Hilfe")), "Hilfe1");
    Anleitung1 = action(Hilfe1, "Anleitung1", "&Anleitung", "Anleitung zum Programm (F1)");
    Anleitung1->setShortcut(QKeySequence(Qt::Key_F1));
    Anleitung1->setShortcutContext(Qt::ApplicationShortcut);
    Inhalt1 = action(Hilfe1, "Inhalt1", "&Produkt", nullptr);
    Info1 = action(Hilfe1, "Info1", "In&fo...", nullptr);

    BuildComponents();

    // The context menu of the spot report; no control carries it.
    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    Spotsetzen1 = action(PopupMenu1, "Spotsetzen1", "&Spot setzen", nullptr);
    Spotloeschen1 = action(PopupMenu1, "Spotloeschen1", "Spot &löschen", nullptr);
}

void TForm1::ConnectHandlers() {
    ConnectMenus();
    ConnectViews();
    ConnectPanels();
}

namespace {

/// A slot that runs a handler of the main window as one user action:
/// guarded, and the components hear of its changes once, after it.
auto Action(TForm1* w, void (TForm1::*handler)()) {
    return Slot([w, handler] { w->AsOneAction([&] { (w->*handler)(); }); });
}

}  // namespace

void TForm1::ConnectMenus() {
    const std::pair<QAction*, void (TForm1::*)()> entries[] = {
        {ffnen1, &TForm1::Oeffnen1Click},
        {Beenden1, &TForm1::Beenden1Click},
        {Drucken1, &TForm1::Drucken1Click},
        {Druckereinrichtung1, &TForm1::Druckereinrichtung1Click},
        {NiftiOeffnen1, &TForm1::NiftiOeffnen1Click},
        {NaechstesVolumen1, &TForm1::NaechstesVolumen1Click},
        {VorigesVolumen1, &TForm1::VorigesVolumen1Click},
        {DicomSerieOeffnen1, &TForm1::DicomSerieOeffnen1Click},
        {Neu1, &TForm1::Neu1Click},
        {Speichern1, &TForm1::Speichern1Click},
        {Speichernunter1, &TForm1::Speichernunter1Click},
        {DatenImport1, &TForm1::DatenImport1Click},
        {UeberlagerungEntfernen1, &TForm1::UeberlagerungEntfernen1Click},
        {Exportieren1, &TForm1::Exportieren1Click},
        {InsWebexportieren1, &TForm1::InsWebexportieren1Click},
        {Spotsetzen1, &TForm1::Spotsetzen1Click},
        {Spotsetzen2, &TForm1::Spotsetzen1Click},
        {Optionen1, &TForm1::Optionen1Click},
        {normal1, &TForm1::normal1Click},
        {vergroessert1, &TForm1::vergroessert1Click},
        {Symbol1, &TForm1::Symbol1Click},
        {Anleitung1, &TForm1::Anleitung1Click},
        {Inhalt1, &TForm1::Inhalt1Click},
        {Info1, &TForm1::Info1Click},
    };
    for (const auto& [entry, handler] : entries)
        connect(entry, &QAction::triggered, this, Action(this, handler));
    connect(Datei1, &QMenu::aboutToShow, this, [this] {
        UeberlagerungEntfernen1->setEnabled(OverlayShown && OverlayVolume);
        FillRecentMenu();
    });
}

void TForm1::ConnectViews() {
    // The image controls call their handlers inside Guarded themselves.
    // After each, the components follow the point and see the release.
    using Down = void (TForm1::*)(TMouseButton, TShiftState, int, int);
    using Move = void (TForm1::*)(TShiftState, int, int);
    struct Handlers {
        TImage* view;
        Down down;
        Move move;
        Down up;
    };
    const Handlers handlers[] = {
        {Image1, &TForm1::Image1MouseDown, &TForm1::Image1MouseMove, &TForm1::Image1MouseUp},
        {Image2, &TForm1::Image2MouseDown, &TForm1::Image2MouseMove, &TForm1::Image2MouseUp},
        {Image3, &TForm1::Image3MouseDown, &TForm1::Image3MouseMove, &TForm1::Image3MouseUp}};
    for (const Handlers& h : handlers) {
        const int n = int(&h - handlers) + 1;
        // A component may take the event first (a measuring mode, the
        // display window's drag); the view's own handler then stays out.
        auto taken = [this, n, view = h.view](ViewMouse::Kind k, TMouseButton b, TShiftState s,
                                              int x, int y) {
            const QPoint p = Scaled(view, x, y);
            return Components->MouseInView(ViewMouse{k, n, b, s, p.x(), p.y()});
        };
        // Each event is one action: the components hear of the point once,
        // after the view's handler.
        h.view->OnMouseDown = [this, f = h.down, taken](TMouseButton b, TShiftState s, int x,
                                                        int y) {
            AsOneAction([&] {
                if (taken(ViewMouse::Press, b, s, x, y)) return;
                (this->*f)(b, s, x, y);
                PointMoved();
            });
        };
        h.view->OnMouseMove = [this, f = h.move, taken](TShiftState s, int x, int y) {
            AsOneAction([&] {
                if (taken(ViewMouse::Move, TMouseButton::mbLeft, s, x, y)) return;
                (this->*f)(s, x, y);
                PointMoved();
            });
        };
        h.view->OnMouseUp = [this, f = h.up, n, taken](TMouseButton b, TShiftState s, int x,
                                                       int y) {
            AsOneAction([&] {
                if (taken(ViewMouse::Release, b, s, x, y)) return;
                (this->*f)(b, s, x, y);
                PointMoved();
            });
            Components->ViewReleased(n, b);
        };
    }
    Image4->OnClick = [this] { Image4Click(); };
    const std::pair<TImage*, int> views[] = {{Image1, 1}, {Image2, 2}, {Image3, 3}};
    for (const auto& [view, n] : views) {
        view->OnWheel = [this, n = n, view = view](int steps, TShiftState s, int x, int y) {
            AsOneAction([&] {
                const QPoint p = Scaled(view, x, y);
                if (!Components->WheelInView(n, steps, s, p.x(), p.y())) StepPlane(n, steps);
            });
        };
        view->OnHover = [this, n = n](bool inside) {
            if (inside)
                PointerView = n;
            else if (PointerView == n)
                PointerView = 0;
        };
    }
    // Keys for the view under the pointer, wherever the focus is.
    qApp->installEventFilter(this);
    setAcceptDrops(true);
}

void TForm1::ConnectPanels() {
    connect(xg_Up, &TUpDown::Click, this, Action(this, &TForm1::xg_UpClick));
    connect(yg_Up, &TUpDown::Click, this, Action(this, &TForm1::yg_UpClick));
    connect(zg_Up, &TUpDown::Click, this, Action(this, &TForm1::zg_UpClick));
    connect(xg_Ed, &QLineEdit::textChanged, this, Action(this, &TForm1::xg_EdChange));
    connect(yg_Ed, &QLineEdit::textChanged, this, Action(this, &TForm1::yg_EdChange));
    connect(zg_Ed, &QLineEdit::textChanged, this, Action(this, &TForm1::zg_EdChange));
    for (QLineEdit* ed : {xg_Ed, yg_Ed, zg_Ed}) ed->installEventFilter(this);

    connect(LupeBtn, &QToolButton::clicked, this, Action(this, &TForm1::LupeBtnClick));
    connect(LupeFak_Up, &TUpDown::Click, this, Action(this, &TForm1::LupeFak_UpClick));
    connect(InvertButton, &QPushButton::clicked, this, Action(this, &TForm1::InvertButtonClick));
    connect(ShowLBButton, &QPushButton::clicked, this, Action(this, &TForm1::ShowLBButtonClick));
    connect(BackBtn, &QToolButton::clicked, this, Action(this, &TForm1::BackBtnClick));
    connect(NextBtn, &QToolButton::clicked, this, Action(this, &TForm1::NextBtnClick));
}

// ---- Lifecycle ------------------------------------------------------------

void TForm1::FormCreate() {
    MaxSlices = 255;
    SliceCount = 0;
    SagBmp = NewSectionBitmap();
    CorBmp = NewSectionBitmap();
    TraBmp = NewSectionBitmap();
    InfoBmp = QImage(200, 200, QImage::Format_RGB32);
    InfoBmp.fill(Qt::white);
    SliceOffset = 0;
    LupeOn = false;
    OverlayShown = false;
}

void TForm1::FormActivate() {
    // Only the first activation loads the default volume: later ones (coming
    // back from the help window) would throw away what the user opened.
    if (DefaultLoaded) return;
    DefaultLoaded = true;
    LoadDefault = true;
    Image1->AssignPicture(SagBmp);
    Image2->AssignPicture(CorBmp);
    Image3->AssignPicture(TraBmp);
    if (!StartPath.isEmpty()) {
        LoadDefault = false;
        OpenPaths({StartPath}, StartVolume);
        return;
    }
    Oeffnen1Click();
}

void TForm1::FormDestroy() { OverlayVolume.reset(); }

void TForm1::Beenden1Click() { close(); }

bool TForm1::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) Guarded([this] { FormActivate(); });
    if (e->type() == QEvent::StatusTip) {
        // The hints of the menu entries, in the status bar while the pointer
        // rests on them; the status text comes back afterwards.
        const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        if (tip.isEmpty())
            StatusBar1->clearMessage();
        else
            StatusBar1->showMessage(tip);
        return true;
    }
    return QMainWindow::event(e);
}

void TForm1::closeEvent(QCloseEvent* e) {
    e->accept();
    // Closing the main window ends the program, also while the help window
    // is open.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && ViewKey(static_cast<QKeyEvent*>(e))) {
        return true;
    }
    if (watched == Client && e->type() == QEvent::Resize) {
        Guarded([this] { FormResize(); });
    } else if (e->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(e)->isAutoRepeat()) {
        if (watched == xg_Ed) Guarded([this] { AsOneAction([this] { xg_EdKeyUp(); }); });
        if (watched == yg_Ed) Guarded([this] { AsOneAction([this] { yg_EdKeyUp(); }); });
        if (watched == zg_Ed) Guarded([this] { AsOneAction([this] { zg_EdKeyUp(); }); });
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---- Rendering and crosshair ----------------------------------------------

void TForm1::RenderSag(int x) {
    const std::uint8_t* overlay = (OverlayShown && OverlayVolume) ? OverlayVolume->data() : nullptr;
    Image1->Rebuild(SagBmp, [&](QImage& bmp, QImage* mirror, const QRgb* table) {
        RenderSagittal(Volume.data(), x, bmp, overlay, mirror, table);
    });
}

void TForm1::RenderCor(int y) {
    Image2->Rebuild(CorBmp, [&](QImage& bmp, QImage* mirror, const QRgb* table) {
        RenderCoronalFromCopy(Copies.Coronal(), y, SliceCount, SliceOffset, bmp, mirror, table);
    });
}

void TForm1::RenderTra(int z) {
    Image3->Rebuild(TraBmp, [&](QImage& bmp, QImage* mirror, const QRgb* table) {
        RenderTransversalFromCopy(Copies.Transversal(), z, SliceCount, SliceOffset, bmp, mirror,
                                  table);
    });
}

void TForm1::VolumeChanged() { Copies.Rebuild(Volume.data()); }

void TForm1::BuildComponents() {
    Components = std::make_unique<TComponentSet>(
        ViewerContext{.volume = Volume,
                      .xg = Xg,
                      .yg = Yg,
                      .zg = Zg,
                      .sliceCount = SliceCount,
                      .sliceOffset = SliceOffset,
                      .volumeFileName = VolumeFileName,
                      .edgeMm = VoxelEdgeMm,
                      .pointerView = PointerView,
                      .views = {Image1, Image2, Image3},
                      .statusBar = StatusBar1,
                      .window = this,
                      .menuBar = MainMenu1,
                      .viewMenu = Ansicht1,
                      .helpMenu = Hilfe1,
                      .moveTo =
                          [this](int x, int y, int z) {
                              AsOneAction([&] {
                                  SetCoordinate(0, x);
                                  SetCoordinate(1, y);
                                  SetCoordinate(2, z);
                                  RecordStep();
                              });
                          },
                      .redisplay = [this] { RedisplayViews(); },
                      .displayChanged = [this] { DisplayChanged(); },
                      .saveState = [this] { return Components->SaveState(); },
                      .loadState =
                          [this](const QJsonObject& state) {
                              AsOneAction([&] { Components->LoadState(state); });
                          },
                      .openFile = [this](const QString& path) { OpenPaths({path}); }},
        this);
}

void TForm1::RedisplayViews() {
    Image1->AssignPicture(SagBmp);
    Image2->AssignPicture(CorBmp);
    Image3->AssignPicture(TraBmp);
    DrawCross(Image1, Yg, Zg);
    DrawCross(Image2, Xg + SliceOffset, Zg);
    DrawCross(Image3, Xg + SliceOffset, Yg);
}

void TForm1::PointMoved() { Components->Post(TComponentSet::Point); }

void TForm1::VolumeShown() { Components->Post(TComponentSet::Volume); }

void TForm1::DisplayChanged() { Components->Post(TComponentSet::Display); }

void TForm1::RenderAll() {
    RenderSag(Xg);
    RenderCor(Yg);
    RenderTra(Zg);
}

void TForm1::DrawCross(TImage* view, int px, int py) {
    view->DrawCross(px, py, forms_.OptDlg->Cross());
}

QString TForm1::CrosshairText() const {
    return QString::fromUtf8(texts::kCrosshairStatus).arg(Xg).arg(Yg).arg(Zg);
}

void TForm1::RefreshX() {
    RenderSag(Xg);
    CrossAllViews(1);
}

void TForm1::RefreshY() {
    RenderCor(Yg);
    CrossAllViews(2);
}

void TForm1::RefreshZ() {
    RenderTra(Zg);
    CrossAllViews(3);
}

void TForm1::CrossAllViews(int rebuilt) {
    // The rebuilt view first, then the others in view order, each restored
    // from its clean section bitmap.
    const int order[3] = {rebuilt, rebuilt == 1 ? 2 : 1, rebuilt == 3 ? 2 : 3};
    TImage* const images[4] = {nullptr, Image1, Image2, Image3};
    const QImage* const bitmaps[4] = {nullptr, &SagBmp, &CorBmp, &TraBmp};
    const QPoint crosses[4] = {{}, {Yg, Zg}, {Xg + SliceOffset, Zg}, {Xg + SliceOffset, Yg}};
    for (const int v : order) {
        if (v != rebuilt) images[v]->AssignPicture(*bitmaps[v]);
        DrawCross(images[v], crosses[v].x(), crosses[v].y());
    }
    StatusBar1->SetSimpleText(CrosshairText());
    PointMoved();
}

void TForm1::ReportPosition(int view, int px, int py) {
    StatusBar1->SetSimpleText(CrosshairText());
    xg_Ed->setText(QString::number(Xg));
    yg_Ed->setText(QString::number(Yg));
    zg_Ed->setText(QString::number(Zg));
    if (InfoPanel->isHidden()) return;
    OrientLabel->setText(ViewName(view));
    xLabel->setText(QStringLiteral("x: %1").arg(px));
    yLabel->setText(QStringLiteral("y: %1").arg(py));
    const TImage* shown = view == 1 ? Image1 : view == 2 ? Image2 : Image3;
    const QRgb c = PixelAt(shown->Picture(), px, py);
    ColorLabel->setText(
        QStringLiteral("Color:  R:%1 G:%2 B:%3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)));
}

void TForm1::ClearSideViews(QRgb colour) {
    CorBmp.fill(colour);
    Image2->AssignPicture(CorBmp);
    TraBmp.fill(colour);
    Image3->AssignPicture(TraBmp);
}

void TForm1::ScaleToSection(TImage* view, int& px, int& py) const {
    // Round half to even, as the default floating-point rounding mode does.
    px = int(std::nearbyint(double(px) * 256.0 / double(view->width())));
    py = int(std::nearbyint(double(py) * 256.0 / double(view->height())));
}

void TForm1::RecordStep() {
    ++StepCount;
    if (StepCount > 1500) StepCount = 1;
    StepPos = StepCount;
    Steps[std::size_t(StepCount)] = {Xg, Yg, Zg};
}

void TForm1::GotoStep(int i) {
    if (i < 0 || i > StepCount) return;
    const TStep s = Steps[std::size_t(i)];
    Xg = s.x;
    Yg = s.y;
    Zg = s.z;
    InvalidateLastPoints();
    xg_Ed->setText(QString::number(Xg));
    yg_Ed->setText(QString::number(Yg));
    zg_Ed->setText(QString::number(Zg));
    RefreshX();
    RefreshY();
    RefreshZ();
}

void TForm1::InvalidateLastPoints(int exceptView) {
    // No pointer position is ever -1 after limiting, so the next press or
    // release in these views rebuilds.
    if (exceptView != 1) LastSagX = LastSagY = -1;
    if (exceptView != 2) LastCorX = LastCorY = -1;
    if (exceptView != 3) LastTraX = LastTraY = -1;
}

bool TForm1::IsMaximised() const { return maximisedLayout_; }

void TForm1::ShowInfoPanel(bool on) { InfoPanel->setVisible(on); }

void TForm1::ShowNavPanel(bool on) { NavPanel->setVisible(on); }

void TForm1::ShowViewLabels(bool on) {
    for (QLabel* l : {SAG_Label, COR_Label, TRA_Label, x_Label1, y_Label1, z_Label1, x_Label2,
                      y_Label2, z_Label2}) {
        l->setVisible(on);
    }
}

}  // namespace zx
