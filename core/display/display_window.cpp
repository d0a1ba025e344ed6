#include "core/display/display_window.h"

#include <QColor>
#include <algorithm>
#include <cmath>

#include "core/volume/volume.h"

namespace zx {

const std::vector<QString>& ColourMapNames() {
    static const std::vector<QString> names = {QStringLiteral("Grau"), QString::fromUtf8("Heiß"),
                                               QStringLiteral("Kalt"), QStringLiteral("Regenbogen"),
                                               QStringLiteral("Knochen")};
    return names;
}

int WindowedGrey(int g, int centre, int width) {
    const double c = centre - 0.5, w = std::max(width, 1) - 1.0;
    if (g <= c - w / 2) return 0;
    if (g > c + w / 2) return 255;
    return int(std::lround(((g - c) / w + 0.5) * 255.0));
}

namespace {

int Channel(double v) { return std::clamp(int(std::lround(v * 255.0)), 0, 255); }

QRgb MapColour(ColourMap map, int v) {
    const double t = v / 255.0;
    switch (map) {
        case ColourMap::Grey:
            return qRgb(v, v, v);
        case ColourMap::Hot:  // black, red, yellow, white
            return qRgb(Channel(3 * t), Channel(3 * t - 1), Channel(3 * t - 2));
        case ColourMap::Cold:  // black, blue, cyan, white
            return qRgb(Channel(3 * t - 2), Channel(3 * t - 1), Channel(3 * t));
        case ColourMap::Rainbow: {  // blue through green to red; black stays black
            if (v == 0) return qRgb(0, 0, 0);
            return QColor::fromHsvF(float((1.0 - t) * 240.0 / 360.0), 1.0f, 1.0f).rgb();
        }
        case ColourMap::Bone:  // grey with a blue cast in the darks
            return qRgb(Channel((7 * t + std::max(0.0, 3 * t - 2)) / 8),
                        Channel((7 * t + std::clamp(3 * t - 1, 0.0, 1.0)) / 8),
                        Channel((7 * t + std::min(1.0, 3 * t)) / 8));
    }
    return qRgb(v, v, v);
}

}  // namespace

WindowTable MakeWindowTable(const DisplayWindow& w) {
    WindowTable t{};
    for (int g = 0; g < 256; ++g)
        t[std::size_t(g)] = 0xff000000u | MapColour(w.map, WindowedGrey(g, w.centre, w.width));
    return t;
}

const std::vector<WindowPreset>& WindowPresets() {
    static const std::vector<WindowPreset> presets = {
        {QStringLiteral("Gesamt"), 128, 256},
        {QStringLiteral("Hirngewebe"), 110, 140},
        {QStringLiteral("Hoher Kontrast"), 128, 128},
        {QStringLiteral("Dunkle Strukturen"), 64, 128},
        {QStringLiteral("Helle Strukturen"), 192, 128}};
    return presets;
}

DisplayWindow AutoWindow(const std::uint8_t* volume, int sliceCount) {
    std::array<std::uint64_t, 256> count{};
    const std::size_t n = std::size_t(std::clamp(sliceCount, 0, kEdge)) * kPlaneBytes;
    for (std::size_t i = 0; i < n; ++i) ++count[volume[i]];
    std::uint64_t total = 0;
    for (int g = 1; g < 256; ++g) total += count[std::size_t(g)];
    if (total == 0) return {};
    auto percentile = [&](double p) {
        const std::uint64_t want = std::uint64_t(std::ceil(p * double(total)));
        std::uint64_t seen = 0;
        for (int g = 1; g < 256; ++g) {
            seen += count[std::size_t(g)];
            if (seen >= std::max<std::uint64_t>(want, 1)) return g;
        }
        return 255;
    };
    const int low = percentile(0.01), high = percentile(0.99);
    DisplayWindow w;
    w.width = std::max(high - low + 1, 2);
    w.centre = (low + high + 1) / 2;
    return w;
}

}  // namespace zx
