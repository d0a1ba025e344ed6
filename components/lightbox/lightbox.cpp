#include "components/lightbox/lightbox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/display/orientation.h"
#include "core/texts.h"
#include "core/volume/runtime_error.h"
#include "widgets/guard.h"
#include "widgets/image_view.h"
#include "widgets/prompter.h"
#include "widgets/tool_window.h"

namespace zx {

namespace {

const char* const kViewNames[] = {"Sagittal", "Koronar", "Transversal"};
const char kAxisNames[] = {'x', 'y', 'z'};
const QColor kCrosshairFrame(255, 64, 64);

/// "z = 120" and, with the voxel edge known, "(96,0 mm)" after it.
QString TileCaption(int view, int plane, double edgeMm) {
    QString text = QStringLiteral("%1 = %2").arg(QLatin1Char(kAxisNames[view - 1])).arg(plane);
    if (edgeMm > 0)
        text += QStringLiteral(" (%1 mm)")
                    .arg(QLocale(QLocale::German).toString(plane * edgeMm, 'f', 1));
    return text;
}

/// One label on a small dark plate, as the views draw their letters.
void DrawPlate(QPainter& p, const QString& text, const QPointF& at, Qt::Alignment align) {
    const QFontMetricsF fm(p.font());
    QRectF box = fm.boundingRect(text).adjusted(-2, 0, 2, 0);
    box.moveTopLeft(at);
    if (align & Qt::AlignHCenter) box.moveLeft(at.x() - box.width() / 2);
    if (align & Qt::AlignRight) box.moveRight(at.x());
    if (align & Qt::AlignVCenter) box.moveTop(at.y() - box.height() / 2);
    if (align & Qt::AlignBottom) box.moveBottom(at.y());
    p.fillRect(box, QColor(0, 0, 0, 160));
    p.setPen(QColor(255, 215, 0));
    p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

void PaintTileLabels(QPainter& p, const QRectF& tile, int plane, int view, bool mirrored) {
    const EdgeDirections e = ViewEdges(view, mirrored && view != 1);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(std::clamp(int(tile.width() / 12), 8, 14));
    p.save();
    p.setFont(f);
    p.setClipRect(tile);
    const double m = std::max(2.0, tile.width() / 64);
    const QPointF c = tile.center();
    DrawPlate(p, QString::number(plane), tile.topLeft() + QPointF(m, m), Qt::AlignLeft);
    DrawPlate(p, Letter(e.top), QPointF(c.x(), tile.top() + m), Qt::AlignHCenter);
    DrawPlate(p, Letter(e.bottom), QPointF(c.x(), tile.bottom() - m),
              Qt::AlignHCenter | Qt::AlignBottom);
    DrawPlate(p, Letter(e.left), QPointF(tile.left() + m, c.y()), Qt::AlignVCenter);
    DrawPlate(p, Letter(e.right), QPointF(tile.right() - m, c.y()),
              Qt::AlignRight | Qt::AlignVCenter);
    p.restore();
}

TLightboxCanvas::TLightboxCanvas(TLightbox& owner, QWidget* parent)
    : QWidget(parent), owner_(owner) {
    setObjectName(QStringLiteral("LightboxCanvas"));
    setMinimumSize(256, 192);
    setAutoFillBackground(false);
}

QRectF TLightboxCanvas::PictureRect() const {
    const QImage& pic = owner_.Picture();
    if (pic.isNull()) return {};
    const double s = std::min(double(width()) / pic.width(), double(height()) / pic.height());
    const QSizeF size(pic.width() * s, pic.height() * s);
    return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

void TLightboxCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QImage& pic = owner_.Picture();
    if (pic.isNull()) return;
    const QRectF target = PictureRect();
    // Smaller than drawn: smoothed; whole voxels stay crisp otherwise.
    p.setRenderHint(QPainter::SmoothPixmapTransform, target.width() < pic.width());
    p.drawImage(target, pic);
    const double s = target.width() / pic.width();
    const MosaicLayout& m = owner_.Drawn();
    auto shown = [&](int i) {
        const QRect r = MosaicTileRect(m, i);
        return QRectF(target.left() + r.left() * s, target.top() + r.top() * s, r.width() * s,
                      r.height() * s);
    };
    // The labels at the screen's resolution, legible however small the
    // tiles are drawn; a saved picture has them in its own pixels.
    const std::vector<int> planes = MosaicPlanes(m);
    if (owner_.LabelsBox->isChecked())
        for (int i = 0; i < int(planes.size()); ++i)
            PaintTileLabels(p, shown(i), planes[std::size_t(i)], m.view, m.mirrored);
    const int tile = owner_.CrosshairTile();
    if (tile < 0) return;
    p.setPen(QPen(kCrosshairFrame, 2));
    p.drawRect(shown(tile).adjusted(1, 1, -1, -1));
}

void TLightboxCanvas::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QRectF target = PictureRect();
    if (target.isEmpty()) return;
    const double s = target.width() / owner_.Picture().width();
    const QPointF at = (e->position() - target.topLeft()) / s;
    Guarded([&] { owner_.ClickAt(QPoint(int(std::floor(at.x())), int(std::floor(at.y())))); });
}

TLightbox::TLightbox(const ViewerContext& context, QObject* parent) : TComponent(context, parent) {
    Lichtkasten1 = viewer.viewMenu->addAction(QStringLiteral("&Lichtkasten..."));
    Lichtkasten1->setObjectName(QStringLiteral("Lichtkasten1"));
    Lichtkasten1->setStatusTip(
        QStringLiteral("Schnitte einer Richtung nebeneinander; ein Klick springt zur Schicht"));
    connect(Lichtkasten1, &QAction::triggered, this, Slot([this] {
                if (!LightboxWindow->isVisible()) PlaceToolWindow(LightboxWindow, viewer.window);
                LightboxWindow->show();
                LightboxWindow->raise();
                Refresh();
            }));

    LightboxWindow = new QWidget(viewer.window, Qt::Tool);
    LightboxWindow->setObjectName(QStringLiteral("LightboxWindow"));
    LightboxWindow->setWindowTitle(QStringLiteral("Lichtkasten"));
    auto* layout = new QVBoxLayout(LightboxWindow);
    auto* controls = new QHBoxLayout;
    OrientationBox = new QComboBox(LightboxWindow);
    for (const char* n : kViewNames) OrientationBox->addItem(QString::fromLatin1(n));
    OrientationBox->setCurrentIndex(2);
    auto spin = [&](int lo, int hi, int value) {
        auto* s = new QSpinBox(LightboxWindow);
        s->setRange(lo, hi);
        s->setValue(value);
        return s;
    };
    // 24 transversal tiles through the head: four rows of six.
    FromEdit = spin(0, 255, 48);
    ToEdit = spin(0, 255, 232);
    EveryEdit = spin(1, 255, 8);
    ColumnsEdit = spin(1, 16, 6);
    LabelsBox = new QCheckBox(QStringLiteral("&Beschriftung"), LightboxWindow);
    LabelsBox->setChecked(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Richtung:"), OrientationBox);
    form->addRow(QStringLiteral("&Von Ebene:"), FromEdit);
    form->addRow(QStringLiteral("&Bis Ebene:"), ToEdit);
    auto* form2 = new QFormLayout;
    form2->addRow(QStringLiteral("&Jede k-te:"), EveryEdit);
    form2->addRow(QStringLiteral("&Spalten:"), ColumnsEdit);
    form2->addRow(LabelsBox);
    controls->addLayout(form);
    controls->addLayout(form2);
    auto* buttons = new QVBoxLayout;
    SaveButton = new QPushButton(QStringLiteral("Als &PNG speichern..."), LightboxWindow);
    PrintButton = new QPushButton(QStringLiteral("&Drucken..."), LightboxWindow);
    buttons->addWidget(SaveButton);
    buttons->addWidget(PrintButton);
    buttons->addStretch();
    controls->addLayout(buttons);
    controls->addStretch();
    layout->addLayout(controls);
    Canvas = new TLightboxCanvas(*this, LightboxWindow);
    layout->addWidget(Canvas, 1);
    LightboxWindow->resize(640, 560);

    const auto changed = Slot([this](int) { RefreshIfShown(); });
    connect(OrientationBox, &QComboBox::currentIndexChanged, this, changed);
    for (QSpinBox* s : {FromEdit, ToEdit, EveryEdit, ColumnsEdit})
        connect(s, &QSpinBox::valueChanged, this, changed);
    connect(LabelsBox, &QCheckBox::toggled, this, Slot([this] { RefreshIfShown(); }));
    connect(SaveButton, &QPushButton::clicked, this, Slot([this] { SaveAsPng(); }));
    connect(PrintButton, &QPushButton::clicked, this, Slot([this] { Print(); }));
}

MosaicLayout TLightbox::Layout() const {
    MosaicLayout m;
    m.view = OrientationBox->currentIndex() + 1;
    m.from = FromEdit->value();
    m.to = ToEdit->value();
    m.every = EveryEdit->value();
    m.columns = ColumnsEdit->value();
    m.labels = LabelsBox->isChecked();
    m.mirrored = viewer.views[std::size_t(m.view - 1)]->Mirrored();
    return m;
}

void TLightbox::Refresh() {
    drawn_ = Layout();
    drawn_.labels = false;  // the canvas and the sheet draw them at their own resolution
    picture_ = Render(drawn_);
    Canvas->update();
}

QImage TLightbox::Render(const MosaicLayout& m) const {
    // The tiles show the greys as the views do: through the display window.
    const QRgb* table = viewer.views[std::size_t(m.view - 1)]->Table();
    return RenderMosaic(viewer.volume.data(), viewer.sliceCount, viewer.sliceOffset, m, table);
}

void TLightbox::RefreshIfShown() {
    if (LightboxWindow->isVisible()) Refresh();
}

int TLightbox::PlaneOf(int view) const {
    return view == 1 ? viewer.xg : view == 2 ? viewer.yg : viewer.zg;
}

int TLightbox::CrosshairTile() const {
    const std::vector<int> planes = MosaicPlanes(drawn_);
    const auto it = std::find(planes.begin(), planes.end(), PlaneOf(drawn_.view));
    return it == planes.end() ? -1 : int(it - planes.begin());
}

void TLightbox::PointChanged() {
    // Only the frame moves; the tiles stay as drawn.
    if (LightboxWindow->isVisible()) Canvas->update();
}

void TLightbox::ClickAt(const QPoint& p) {
    const int tile = MosaicTileAt(drawn_, p);
    if (tile < 0) return;
    const int plane = MosaicPlanes(drawn_)[std::size_t(tile)];
    const QPoint in = p - MosaicTileRect(drawn_, tile).topLeft();
    // The tile's pixel as the view's: mirrored back, then columns and rows
    // of the section (x planes placed at the slice offset).
    const int c = (drawn_.mirrored && drawn_.view != 1) ? kMosaicTile - 1 - in.x() : in.x();
    const int r = in.y();
    const int x = std::clamp(c - viewer.sliceOffset, 0, std::max(viewer.sliceCount - 1, 0));
    if (drawn_.view == 1) viewer.moveTo(plane, c, r);
    if (drawn_.view == 2) viewer.moveTo(x, plane, r);
    if (drawn_.view == 3) viewer.moveTo(x, r, plane);
}

void TLightbox::SaveAsPng() {
    if (picture_.isNull()) Refresh();
    if (picture_.isNull()) {
        prompter().MessageDlg(MsgKind::Information, QStringLiteral("Information"),
                              QString::fromUtf8("Keine Ebene gewählt: „Von“ liegt hinter „Bis“."),
                              mbOK);
        return;
    }
    TSaveDialog dlg;
    dlg.Title = QStringLiteral("Lichtkasten speichern");
    dlg.Filter = QStringLiteral("PNG-Bild (*.png)|*.png");
    dlg.DefaultExt = QStringLiteral("png");
    if (!prompter().SaveFile(dlg)) return;
    MosaicLayout m = drawn_;
    m.labels = LabelsBox->isChecked();
    const QImage picture = Render(m);
    // Written beside the target and renamed into place: a failure leaves an
    // older picture of that name as it was.
    QSaveFile file(dlg.FileName);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit()) {
        throw RuntimeError(QStringLiteral("%1: Bild nicht geschrieben (%2)")
                               .arg(dlg.FileName, file.errorString()));
    }
}

int TLightbox::PaintSheet(QPainter& p, const QRect& area, int page) const {
    const std::vector<int> planes = MosaicPlanes(drawn_);
    if (planes.empty() || picture_.isNull()) return 0;
    QFont title = p.font();
    title.setPointSizeF(14);
    title.setBold(true);
    QFont body = p.font();
    body.setPointSizeF(9);
    const int line = QFontMetrics(body, p.device()).height();
    const int head = QFontMetrics(title, p.device()).height() + 3 * line;
    const int columns = std::max(drawn_.columns, 1);
    const int gap = line / 2;
    const int tile =
        std::min((area.width() - (columns - 1) * gap) / columns, area.height() - head - 2 * line);
    const int cell = tile + line + gap;
    const int rowsPerPage = std::max((area.height() - head) / cell, 1);
    const int rows = (int(planes.size()) + columns - 1) / columns;
    const int pages = (rows + rowsPerPage - 1) / rowsPerPage;

    const QString volume = viewer.volumeFileName.isEmpty()
                               ? QStringLiteral("(ohne Namen)")
                               : QFileInfo(viewer.volumeFileName).fileName();
    p.setPen(Qt::black);
    p.setFont(title);
    int y = area.top();
    p.drawText(QRect(area.left(), y, area.width(), head), Qt::AlignLeft | Qt::AlignTop,
               QString::fromUtf8("Zerebrix-MR – Lichtkasten"));
    y += QFontMetrics(title, p.device()).height();
    p.setFont(body);
    p.drawText(area.left(), y + line, QStringLiteral("Volumen: %1").arg(volume));
    QString orientation = QStringLiteral("Richtung: %1, Ebenen %2 bis %3, jede %4.")
                              .arg(QString::fromLatin1(kViewNames[drawn_.view - 1]))
                              .arg(planes.front())
                              .arg(planes.back())
                              .arg(drawn_.every);
    if (viewer.edgeMm > 0)
        orientation += QStringLiteral(" Voxelkante %1 mm.")
                           .arg(QLocale(QLocale::German).toString(viewer.edgeMm, 'g', 4));
    if (pages > 1) orientation += QStringLiteral(" Seite %1 von %2.").arg(page + 1).arg(pages);
    p.drawText(area.left(), y + 2 * line, orientation);

    for (int row = page * rowsPerPage; row < std::min(rows, (page + 1) * rowsPerPage); ++row) {
        const int top = area.top() + head + (row - page * rowsPerPage) * cell;
        for (int col = 0; col < columns; ++col) {
            const int i = row * columns + col;
            if (i >= int(planes.size())) break;
            const QRect target(area.left() + col * (tile + gap), top, tile, tile);
            p.drawImage(target, picture_, MosaicTileRect(drawn_, i));
            if (LabelsBox->isChecked())
                PaintTileLabels(p, target, planes[std::size_t(i)], drawn_.view, drawn_.mirrored);
            p.setPen(Qt::black);
            p.setFont(body);
            p.drawText(QRect(target.left(), target.bottom() + 1, tile, line), Qt::AlignHCenter,
                       TileCaption(drawn_.view, planes[std::size_t(i)], viewer.edgeMm));
        }
    }
    return pages;
}

void TLightbox::Print() {
    Refresh();
    if (picture_.isNull()) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Lichtkasten"));
    int copies = 1;
    if (!prompter().PrintDialog(printer, copies) || copies <= 0) return;
    printer.setCopyCount(copies);
    QPainter p;
    if (!p.begin(&printer)) throw RuntimeError(QString::fromUtf8(texts::kNoDefaultPrinter));
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRect page(QPoint(0, 0), area.size());
    const int pages = PaintSheet(p, page, 0);
    for (int i = 1; i < pages; ++i) {
        printer.newPage();
        PaintSheet(p, page, i);
    }
    p.end();
}

}  // namespace zx
