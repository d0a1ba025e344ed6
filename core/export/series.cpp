#include "core/export/series.h"

#include <algorithm>

#include "core/export/output_batch.h"
#include "core/render/sections.h"
#include "core/volume/runtime_error.h"

namespace zx {

int ExportSagittalSeries(const std::uint8_t* volume, int sliceCount, const QString& base,
                         QImage& sagBmp, const std::function<void(const QString&)>& progress) {
    PictureBatch batch;
    for (int k = 0; k < sliceCount; ++k) {
        RenderSagittal(volume, k, sagBmp);  // grey only: no overlay, no inversion
        const QString name = base + QString::number(k) + QStringLiteral(".bmp");
        batch.Add(sagBmp, name);
        if (progress) progress(name);
    }
    batch.Commit();
    return sliceCount;
}

int ExportTransversalSeries(const std::uint8_t* volume, int sliceCount, const QString& base,
                            QImage& traBmp, const std::function<void(const QString&)>& progress) {
    const int offset = (256 - sliceCount) / 2;
    PictureBatch batch;
    for (int k = 0; k < 256; ++k) {
        RenderTransversal(volume, k, sliceCount, offset, traBmp);
        const QString name = base + QString::number(k) + QStringLiteral(".bmp");
        batch.Add(traBmp, name);
        if (progress) progress(name);
    }
    batch.Commit();
    return 256;
}

QString WebExportRefusal(std::int64_t startX, std::int64_t startY, std::int64_t startZ,
                         std::int64_t interval) {
    if (interval < 1) return QStringLiteral("Das Pixelintervall muss mindestens 1 sein");
    const std::int64_t starts[3] = {startX, startY, startZ};
    for (int k = 0; k < 3; ++k) {
        if (starts[k] < 0 || starts[k] > 255) {
            return QStringLiteral("Startpixel %1 muss zwischen 0 und 255 liegen, nicht %2")
                .arg(QLatin1Char("XYZ"[k]))
                .arg(starts[k]);
        }
    }
    return {};
}

std::vector<WebPicture> WebExportPlan(int startX, int startY, int startZ, int interval,
                                      int sliceOffset) {
    const QString refusal = WebExportRefusal(startX, startY, startZ, interval);
    if (!refusal.isEmpty()) throw RuntimeError(refusal);
    std::vector<WebPicture> plan;
    auto name = [](const char* prefix, int n) {
        return QString::fromLatin1(prefix) + QString::number(n) + QStringLiteral(".bmp");
    };
    // Positions in 64 bits, limited to the volume as the coordinate entry
    // limits a typed position: no interval can overflow them.
    auto at = [interval](int n, std::int64_t start) {
        return int(
            std::clamp(std::int64_t(n - 1) * interval + start, std::int64_t(0), std::int64_t(255)));
    };
    int n = 1;
    // View columns left of the data (at most 128 with a start inside the
    // volume): the picture of plane 255.
    for (; std::int64_t(n - 1) * interval + startX < sliceOffset; ++n)
        plan.push_back({1, 255, name("sag_", n), true});
    for (; n <= 27; ++n)
        plan.push_back({1, at(n, std::int64_t(startX) - sliceOffset), name("sag_", n)});
    for (n = 1; n <= 27; ++n) plan.push_back({2, at(n, startY), name("cor_", n)});
    for (n = 1; n <= 27; ++n) plan.push_back({3, at(n, startZ), name("tra_", n)});
    return plan;
}

}  // namespace zx
