#include "core/render/mosaic.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/display/orientation.h"
#include "core/render/sections.h"

namespace zx {

namespace {

/// A 5 × 7 pixel font for the labels: each glyph is seven rows, the five
/// low bits of a row its pixels, the highest of them at the left.
struct Glyph {
    char c;
    std::array<std::uint8_t, 7> rows;
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e}},
    {'1', {0x04, 0x0c, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'2', {0x0e, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1f}},
    {'3', {0x1f, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0e}},
    {'4', {0x02, 0x06, 0x0a, 0x12, 0x1f, 0x02, 0x02}},
    {'5', {0x1f, 0x10, 0x1e, 0x01, 0x01, 0x11, 0x0e}},
    {'6', {0x06, 0x08, 0x10, 0x1e, 0x11, 0x11, 0x0e}},
    {'7', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0e, 0x11, 0x11, 0x0e, 0x11, 0x11, 0x0e}},
    {'9', {0x0e, 0x11, 0x11, 0x0f, 0x01, 0x02, 0x0c}},
    {'R', {0x1e, 0x11, 0x11, 0x1e, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1f}},
    {'A', {0x0e, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11}},
    {'P', {0x1e, 0x11, 0x11, 0x1e, 0x10, 0x10, 0x10}},
    {'S', {0x0f, 0x10, 0x10, 0x0e, 0x01, 0x01, 0x1e}},
    {'I', {0x0e, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0e}},
};
constexpr int kScale = 2;                         // each font pixel is 2 × 2 picture pixels
constexpr int kAdvance = 6 * kScale;              // glyph and the gap after it
constexpr int kTextHeight = 7 * kScale;           // one line of text
constexpr int kPlate = 2;                         // dark margin around the text
constexpr QRgb kLabelColour = qRgb(255, 215, 0);  // the views' letter colour

const Glyph* GlyphOf(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.c == c) return &g;
    return nullptr;
}

int TextWidth(const QByteArray& text) { return int(text.size()) * kAdvance - kScale; }

/// Draws `text` with its top left at `at` on a darkened plate, clipped to
/// `clip`.
void DrawLabel(QImage& pic, const QByteArray& text, QPoint at, const QRect& clip) {
    const QRect plate = QRect(at.x() - kPlate, at.y() - kPlate, TextWidth(text) + 2 * kPlate,
                              kTextHeight + 2 * kPlate)
                            .intersected(clip);
    for (int y = plate.top(); y <= plate.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(pic.scanLine(y));
        for (int x = plate.left(); x <= plate.right(); ++x) {
            const QRgb p = row[x];  // 3/8 of the picture shows through
            row[x] = qRgb(qRed(p) * 3 / 8, qGreen(p) * 3 / 8, qBlue(p) * 3 / 8);
        }
    }
    for (int i = 0; i < int(text.size()); ++i) {
        const Glyph* g = GlyphOf(text[i]);
        if (!g) continue;
        for (int gy = 0; gy < 7; ++gy)
            for (int gx = 0; gx < 5; ++gx) {
                if (!(g->rows[std::size_t(gy)] & (0x10 >> gx))) continue;
                const QRect dot(at.x() + i * kAdvance + gx * kScale, at.y() + gy * kScale, kScale,
                                kScale);
                const QRect d = dot.intersected(clip);
                for (int y = d.top(); y <= d.bottom(); ++y)
                    for (int x = d.left(); x <= d.right(); ++x)
                        reinterpret_cast<QRgb*>(pic.scanLine(y))[x] = kLabelColour;
            }
    }
}

/// The plane number at the top left, the edge letters at the sides'
/// middles, as the views show them.
void DrawTileLabels(QImage& pic, const QRect& tile, int plane, int view, bool mirrored) {
    const EdgeDirections e = ViewEdges(view, mirrored);
    const QByteArray number = QByteArray::number(plane);
    DrawLabel(pic, number, tile.topLeft() + QPoint(4, 4), tile);
    auto letter = [](Direction d) { return Letter(d).toLatin1(); };
    const int cx = tile.left() + (tile.width() - TextWidth("A")) / 2;
    const int cy = tile.top() + (tile.height() - kTextHeight) / 2;
    DrawLabel(pic, letter(e.top), QPoint(cx, tile.top() + 4), tile);
    DrawLabel(pic, letter(e.bottom), QPoint(cx, tile.bottom() - 3 - kTextHeight), tile);
    DrawLabel(pic, letter(e.left), QPoint(tile.left() + 4, cy), tile);
    DrawLabel(pic, letter(e.right), QPoint(tile.right() - 3 - TextWidth("A"), cy), tile);
}

/// Swaps the columns of a tile left to right.
void MirrorTile(QImage& pic, const QRect& tile) {
    for (int y = tile.top(); y <= tile.bottom(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(pic.scanLine(y)) + tile.left();
        std::reverse(row, row + tile.width());
    }
}

}  // namespace

std::vector<int> MosaicPlanes(const MosaicLayout& m) {
    std::vector<int> planes;
    const int step = std::max(m.every, 1);
    for (int p = std::max(m.from, 0); p <= std::min(m.to, kMosaicTile - 1); p += step)
        planes.push_back(p);
    return planes;
}

QSize MosaicSize(const MosaicLayout& m) {
    const int n = int(MosaicPlanes(m).size());
    if (n == 0) return {};
    const int columns = std::max(m.columns, 1);
    return {columns * kMosaicTile, (n + columns - 1) / columns * kMosaicTile};
}

QRect MosaicTileRect(const MosaicLayout& m, int i) {
    const int columns = std::max(m.columns, 1);
    return {(i % columns) * kMosaicTile, (i / columns) * kMosaicTile, kMosaicTile, kMosaicTile};
}

int MosaicTileAt(const MosaicLayout& m, const QPoint& p) {
    const QSize size = MosaicSize(m);
    if (p.x() < 0 || p.y() < 0 || p.x() >= size.width() || p.y() >= size.height()) return -1;
    const int i = (p.y() / kMosaicTile) * std::max(m.columns, 1) + p.x() / kMosaicTile;
    return i < int(MosaicPlanes(m).size()) ? i : -1;
}

QImage RenderMosaic(const std::uint8_t* volume, int sliceCount, int sliceOffset,
                    const MosaicLayout& m, const QRgb* table) {
    const std::vector<int> planes = MosaicPlanes(m);
    QImage pic(MosaicSize(m), QImage::Format_RGB32);
    if (pic.isNull()) return pic;
    pic.fill(GreyToColor(0));
    const bool mirrored = m.mirrored && m.view != 1;
    for (int i = 0; i < int(planes.size()); ++i) {
        const QRect r = MosaicTileRect(m, i);
        // The renderers write straight into the tile: a section bitmap over
        // the mosaic's memory, with the mosaic's row length.
        QImage tile(pic.bits() + r.top() * pic.bytesPerLine() + 4 * r.left(), kMosaicTile,
                    kMosaicTile, pic.bytesPerLine(), QImage::Format_RGB32);
        const int plane = planes[std::size_t(i)];
        if (m.view == 1) RenderSagittal(volume, plane, tile);
        if (m.view == 2) RenderCoronal(volume, plane, sliceCount, sliceOffset, tile);
        if (m.view == 3) RenderTransversal(volume, plane, sliceCount, sliceOffset, tile);
        if (mirrored) MirrorTile(pic, r);
        if (table) ApplyTable(pic, r, table);
        if (m.labels) DrawTileLabels(pic, r, plane, m.view, mirrored);
    }
    return pic;
}

}  // namespace zx
