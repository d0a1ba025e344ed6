#include "core/export/series.h"

#include "core/render/sections.h"
#include "core/volume/bmp_write.h"

namespace zx {

int ExportSagittalSeries(const std::uint8_t* volume, int sliceCount, const QString& base,
                         QImage& sagBmp, const std::function<void(const QString&)>& progress) {
    for (int k = 0; k < sliceCount; ++k) {
        RenderSagittal(volume, k, sagBmp);  // grey only: no overlay, no inversion
        const QString name = base + QString::number(k) + QStringLiteral(".bmp");
        SaveBmp24(sagBmp, name);
        if (progress) progress(name);
    }
    return sliceCount;
}

int ExportTransversalSeries(const std::uint8_t* volume, int sliceCount, const QString& base,
                            QImage& traBmp, const std::function<void(const QString&)>& progress) {
    const int offset = (256 - sliceCount) / 2;
    for (int k = 0; k < 256; ++k) {
        RenderTransversal(volume, k, sliceCount, offset, traBmp);
        const QString name = base + QString::number(k) + QStringLiteral(".bmp");
        SaveBmp24(traBmp, name);
        if (progress) progress(name);
    }
    return 256;
}

std::vector<WebPicture> WebExportPlan(int startX, int startY, int startZ, int interval,
                                      int sliceOffset) {
    std::vector<WebPicture> plan;
    auto name = [](const char* prefix, int n) {
        return QString::fromLatin1(prefix) + QString::number(n) + QStringLiteral(".bmp");
    };
    int n = 1;
    // View columns left of the data: the picture of plane 255.
    for (; std::int64_t(n - 1) * interval + startX < sliceOffset; ++n) plan.push_back({1, 255, name("sag_", n), true});
    for (; n <= 27; ++n) plan.push_back({1, (n - 1) * interval + startX - sliceOffset, name("sag_", n)});
    for (n = 1; n <= 27; ++n) plan.push_back({2, (n - 1) * interval + startY, name("cor_", n)});
    for (n = 1; n <= 27; ++n) plan.push_back({3, (n - 1) * interval + startZ, name("tra_", n)});
    return plan;
}

}  // namespace zx
