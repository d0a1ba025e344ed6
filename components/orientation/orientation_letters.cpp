#include "components/orientation/orientation_letters.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QSettings>

#include "core/display/orientation.h"
#include "widgets/guard.h"
#include "widgets/image_view.h"
#include "widgets/text_plate.h"

namespace zx {

namespace {

const char kSettingsKey[] = "Ansicht/neurologisch";

/// One letter on a small dark plate, so that it reads over any grey, the
/// inverted views and the colour maps alike.
void DrawLetter(QPainter& p, const QString& letter, const QPoint& centre) {
    QRect box = CachedBoundingRect(p.font(), letter).adjusted(-2, 0, 2, 0);
    box.moveCenter(centre);
    p.fillRect(box, QColor(0, 0, 0, 160));
    p.setPen(QColor(255, 215, 0));
    DrawCentredText(p, QRectF(box), letter);
}

}  // namespace

TOrientationLetters::TOrientationLetters(const ViewerContext& context, QObject* parent)
    : TComponent(context, parent) {
    NeurologischeAnsicht1 =
        new QAction(QStringLiteral("&Neurologische Ansicht (links ist links)"), this);
    NeurologischeAnsicht1->setObjectName(QStringLiteral("NeurologischeAnsicht1"));
    NeurologischeAnsicht1->setCheckable(true);
    NeurologischeAnsicht1->setStatusTip(QStringLiteral(
        "Koronar- und Transversalschnitt seitenverkehrt: die linke Körperseite links"));
    viewer.viewMenu->addSeparator();
    viewer.viewMenu->addAction(NeurologischeAnsicht1);
    connect(NeurologischeAnsicht1, &QAction::toggled, this,
            Slot([this](bool on) { SetNeurological(on); }));

    for (int v = 1; v <= 3; ++v) {
        TImage* view = viewer.views[std::size_t(v - 1)];
        view->AddOverlay([this, v, view](QPainter& p, const QTransform&) {
            const EdgeDirections e = ViewEdges(v, Neurological());
            QFont f = p.font();
            f.setPointSize(8);
            f.setBold(true);
            p.setFont(f);
            const int w = view->width(), h = view->height();
            // The top letter sits below the view's title, the side letters
            // half-way down, clear of the axis letters in the corners.
            DrawLetter(p, Letter(e.top), QPoint(w / 2, 29));
            DrawLetter(p, Letter(e.bottom), QPoint(w / 2, h - 9));
            DrawLetter(p, Letter(e.left), QPoint(7, h / 2));
            DrawLetter(p, Letter(e.right), QPoint(w - 8, h / 2));
        });
    }
    SetNeurological(QSettings().value(QString::fromLatin1(kSettingsKey), false).toBool(), false);
}

bool TOrientationLetters::Neurological() const { return NeurologischeAnsicht1->isChecked(); }

void TOrientationLetters::SetNeurological(bool on, bool remember) {
    {
        const QSignalBlocker block(NeurologischeAnsicht1);
        NeurologischeAnsicht1->setChecked(on);
    }
    viewer.views[1]->SetMirrored(on);
    viewer.views[2]->SetMirrored(on);
    viewer.views[0]->update();
    if (remember) QSettings().setValue(QString::fromLatin1(kSettingsKey), on);
}

void TOrientationLetters::ApplyStartOptions(const StartOptions& options) {
    // A command-line choice holds for this run only.
    if (options.neurological) SetNeurological(true, false);
}

QJsonObject TOrientationLetters::SaveState() const {
    return {{QStringLiteral("neurological"), Neurological()}};
}

void TOrientationLetters::LoadState(const QJsonObject& state) {
    const QJsonValue v = state.value(QStringLiteral("neurological"));
    if (v.isBool()) SetNeurological(v.toBool(), false);
}

}  // namespace zx
