// The quick ways the views paint look exactly as Qt's own: pictures drawn in
// bands, and view labels drawn from a kept layout instead of a style sheet.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <random>

#include "widgets/blit.h"
#include "widgets/image_view.h"
#include "widgets/text_plate.h"

namespace {

QImage RandomPicture(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 rng(3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, 0xff000000u | (rng() & 0xffffffu));
    return img;
}

TEST(PaintPaths, BandsDrawWhatOneDrawImageDraws) {
    const QImage pic = RandomPicture(256, 256);
    const QTransform mirror = QTransform().translate(256, 0).scale(-1, 1);
    const QTransform zoom = QTransform().translate(128, 128).scale(3, 3).translate(-97.5, -140);
    const struct {
        QTransform t;
        QRectF target;
    } cases[] = {{QTransform(), QRectF(0, 0, 256, 256)},
                 {mirror, QRectF(0, 0, 256, 256)},
                 {zoom, QRectF(0, 0, 256, 256)},
                 {QTransform(), QRectF(0, 0, 301, 287)}};  // stretched to the control
    for (const auto& c : cases) {
        QImage one(320, 300, QImage::Format_RGB32), bands(320, 300, QImage::Format_RGB32);
        one.fill(Qt::black);
        bands.fill(Qt::black);
        {
            QPainter p(&one);
            p.setTransform(c.t);
            p.drawImage(c.target, pic, QRectF(pic.rect()));
        }
        {
            QPainter p(&bands);
            p.setTransform(c.t);
            zx::DrawImageInBands(p, c.target, pic, QRectF(pic.rect()));
        }
        EXPECT_EQ(one, bands) << c.t.m11() << " " << c.target.width();
    }
}

TEST(PaintPaths, AMirroredViewWritesItsPictureMirroredOnlyWhereItIsPainted) {
    const QImage pic = RandomPicture(256, 256);
    zx::TImage view;
    view.resize(256, 256);
    view.AssignPicture(pic);
    view.SetMirrored(true);
    const QImage mirrored = pic.mirrored(true, false);
    // Onto a picture, as onto the window's: the rows written reversed.
    for (const QImage::Format f : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        QImage target(300, 280, f);
        target.fill(Qt::magenta);
        view.render(&target, QPoint(17, 9));
        EXPECT_EQ(target.copy(17, 9, 256, 256).convertToFormat(QImage::Format_RGB32), mirrored);
        EXPECT_EQ(target.pixel(16, 9), QColor(Qt::magenta).rgb());
        EXPECT_EQ(target.pixel(273, 264), QColor(Qt::magenta).rgb());
    }
    // A part painted (render puts the part's bounds at the target's top
    // left): nothing beside it is touched.
    QImage target(256, 256, QImage::Format_RGB32);
    target.fill(Qt::magenta);
    view.render(&target, QPoint(), QRegion(40, 30, 101, 7) + QRegion(200, 100, 3, 90));
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const bool painted = (x < 101 && y < 7) || (x >= 160 && x < 163 && y >= 70 && y < 160);
            ASSERT_EQ(target.pixel(x, y),
                      painted ? mirrored.pixel(x + 40, y + 30) : QColor(Qt::magenta).rgb())
                << x << "," << y;
        }
    // Onto a picture the painter scales (printing, high-DPI): through Qt.
    QImage scaled(512, 512, QImage::Format_RGB32);
    scaled.setDevicePixelRatio(2);
    view.render(&scaled);
    EXPECT_EQ(scaled.pixel(0, 0), mirrored.pixel(0, 0));
    EXPECT_EQ(scaled.pixel(511, 300), mirrored.pixel(255, 150));
}

TEST(PaintPaths, ViewLabelsLookAsTheStyledLabelsTheyReplace) {
    for (const bool axis : {false, true}) {
        for (const char* text : {"SAG", "COR", "x", "z"}) {
            QWidget parent;
            parent.resize(80, 40);
            parent.setAutoFillBackground(true);
            QPalette pal = parent.palette();
            pal.setColor(QPalette::Window, QColor(90, 140, 30));
            parent.setPalette(pal);
            QFont f = parent.font();
            f.setPointSize(8);
            f.setBold(true);
            auto* styled = new QLabel(QString::fromLatin1(text), &parent);
            styled->setStyleSheet(
                axis ? QStringLiteral("color: rgb(220, 220, 220); background: rgba(0, 0, 0, 150);")
                     : QStringLiteral("color: white; background: rgba(0, 0, 0, 150);"));
            auto* quick = new zx::TViewLabel(QString::fromLatin1(text),
                                             axis ? QColor(220, 220, 220) : QColor(Qt::white),
                                             QColor(0, 0, 0, 150), &parent);
            for (QLabel* l : {static_cast<QLabel*>(styled), static_cast<QLabel*>(quick)}) {
                l->setFont(f);
                l->setAlignment(Qt::AlignCenter);
                l->adjustSize();
                l->move(7, 9);
                l->setEnabled(!axis);  // the axis letters are disabled
            }
            parent.show();
            quick->hide();
            const QImage a = parent.grab().toImage();
            styled->hide();
            quick->show();
            const QImage b = parent.grab().toImage();
            EXPECT_EQ(styled->size(), quick->size()) << text;
            EXPECT_EQ(a, b) << text << (axis ? " (axis)" : "");
        }
    }
}

}  // namespace
