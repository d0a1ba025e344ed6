// An independent oracle for the main window's section pictures: every pixel
// worked out from Volume by the view table (coronal pixel (offset + k, r) is
// voxel (k, y, r), transversal pixel (offset + k, r) is voxel (k, r, z),
// sagittal pixel (c, r) is voxel (x, c, r)), without the renderers and
// without the derived copies the coronal and transversal views are drawn
// from. A copy left stale by a load shows up as a difference here.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <cstdint>
#include <string>

#include "app/main_window.h"

namespace zxtest {

/// The first pixel of the columns offset … offset + count − 1 of `bmp`
/// whose green and blue bytes (and red, unless `redToo` is false) are not
/// grey(k, r).
template <class Grey>
::testing::AssertionResult PictureShows(const char* what, const QImage& bmp, int offset, int count,
                                        Grey grey, bool redToo = true) {
    if (bmp.size() != QSize(256, 256) || bmp.format() != QImage::Format_RGB32)
        return ::testing::AssertionFailure() << what << ": no 256 × 256 RGB32 picture";
    const QRgb mask = redToo ? 0xffffffu : 0x00ffffu;
    for (int r = 0; r < 256; ++r) {
        const auto* line = reinterpret_cast<const QRgb*>(bmp.constScanLine(r));
        for (int k = 0; k < count; ++k) {
            const QRgb want = 0x010101u * QRgb(grey(k, r));
            if ((line[offset + k] & mask) != (want & mask))
                return ::testing::AssertionFailure()
                       << what << ": pixel (" << offset + k << ", " << r << ") is "
                       << QString::asprintf("#%06x", line[offset + k] & mask).toStdString()
                       << ", the volume says "
                       << QString::asprintf("#%06x", want & mask).toStdString();
        }
    }
    return ::testing::AssertionSuccess();
}

/// The columns of the coronal and transversal pictures beside the planes
/// are black: nothing of a wider volume shown before stays there.
inline ::testing::AssertionResult SidesBlack(const char* what, const QImage& bmp, int offset,
                                             int count) {
    for (int r = 0; r < 256; ++r) {
        const auto* line = reinterpret_cast<const QRgb*>(bmp.constScanLine(r));
        for (int c = 0; c < 256; ++c)
            if ((c < offset || c >= offset + count) && (line[c] & 0xffffffu) != 0)
                return ::testing::AssertionFailure()
                       << what << ": side pixel (" << c << ", " << r << ") is not black";
    }
    return ::testing::AssertionSuccess();
}

/// Section `plane` of `view` (1 sagittal, 2 coronal, 3 transversal) of
/// the volume, as the main window must draw it, black beside the planes. While the overlay is on,
/// the sagittal red byte mixes in the overlay and is left out.
inline ::testing::AssertionResult SectionShows(const zx::TForm1& f, int view, const QImage& bmp,
                                               int plane) {
    const std::uint8_t* v = f.Volume.data();
    const std::size_t p = std::size_t(plane);
    switch (view) {
        case 1:
            return PictureShows(
                "sagittal", bmp, 0, 256,
                [&](int c, int r) { return v[p * 65536 + std::size_t(r) * 256 + std::size_t(c)]; },
                !f.OverlayShown);
        case 2: {
            auto shown = PictureShows(
                "coronal", bmp, f.SliceOffset, f.SliceCount,
                [&](int k, int r) { return v[std::size_t(k) * 65536 + std::size_t(r) * 256 + p]; });
            return shown ? SidesBlack("coronal", bmp, f.SliceOffset, f.SliceCount) : shown;
        }
        default: {
            auto shown = PictureShows(
                "transversal", bmp, f.SliceOffset, f.SliceCount,
                [&](int k, int r) { return v[std::size_t(k) * 65536 + p * 256 + std::size_t(r)]; });
            return shown ? SidesBlack("transversal", bmp, f.SliceOffset, f.SliceCount) : shown;
        }
    }
}

/// The three clean section bitmaps show the volume at the crosshair planes.
inline ::testing::AssertionResult SectionsShowVolume(const zx::TForm1& f) {
    const QImage* bmps[3] = {&f.SagBmp, &f.CorBmp, &f.TraBmp};
    const int planes[3] = {f.Xg, f.Yg, f.Zg};
    for (int view = 1; view <= 3; ++view) {
        auto shown = SectionShows(f, view, *bmps[view - 1], planes[view - 1]);
        if (!shown) return shown;
    }
    return ::testing::AssertionSuccess();
}

/// Each clean section bitmap shows some plane of the volume (during a drag
/// the point runs ahead of the pictures, which follow at the release).
inline ::testing::AssertionResult SectionsShowSomePlanes(const zx::TForm1& f) {
    const QImage* bmps[3] = {&f.SagBmp, &f.CorBmp, &f.TraBmp};
    const int planes[3] = {f.Xg, f.Yg, f.Zg};
    for (int view = 1; view <= 3; ++view) {
        const auto atPoint = SectionShows(f, view, *bmps[view - 1], planes[view - 1]);
        bool found = bool(atPoint);
        for (int p = 0; p < 256 && !found; ++p) found = SectionShows(f, view, *bmps[view - 1], p);
        if (!found)
            return ::testing::AssertionFailure() << atPoint.message() << " (nor any other plane)";
    }
    return ::testing::AssertionSuccess();
}

/// Every coronal and transversal plane drawn by the window (so through its
/// derived copies) against the volume; the window is redrawn at its
/// crosshair afterwards.
inline ::testing::AssertionResult AllPlanesShowVolume(zx::TForm1& f) {
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    for (int p = 0; p < 256 && result; ++p) {
        f.RenderCor(p);
        result = SectionShows(f, 2, f.CorBmp, p);
        if (result) {
            f.RenderTra(p);
            result = SectionShows(f, 3, f.TraBmp, p);
        }
        if (!result) result << " (plane " << p << ")";
    }
    f.RefreshY();
    f.RefreshZ();
    return result;
}

}  // namespace zxtest
