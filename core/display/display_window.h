// The display window: which grey values of the sections are spread over the
// screen's brightness range, and in which colours. It changes only what the
// views show; the volume, the clean sections, exports and prints keep the
// greys as they are.
#pragma once

#include <QRgb>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace zx {

/// Colour maps of the window: index into ColourMapNames().
enum class ColourMap { Grey, Hot, Cold, Rainbow, Bone };

/// "Grau", "Heiß", "Kalt", "Regenbogen", "Knochen".
const std::vector<QString>& ColourMapNames();

/// Centre and width over the grey values 0…255, as DICOM defines the
/// linear window: greys up to centre − 0.5 − (width − 1)/2 are black, greys
/// above centre − 0.5 + (width − 1)/2 are white, and those between rise
/// linearly. Centre 128, width 256 shows every grey as it is.
struct DisplayWindow {
    int centre = 128;
    int width = 256;  ///< at least 1
    ColourMap map = ColourMap::Grey;
    bool IsIdentity() const { return centre == 128 && width == 256 && map == ColourMap::Grey; }
    bool operator==(const DisplayWindow&) const = default;
};

/// The colour shown for each grey value: 256 entries, opaque.
using WindowTable = std::array<QRgb, 256>;
WindowTable MakeWindowTable(const DisplayWindow& w);

/// Brightness 0…255 of grey `g` under the window, before the colour map.
int WindowedGrey(int g, int centre, int width);

/// A named window for 8-bit volumes.
struct WindowPreset {
    QString name;
    int centre, width;
};
/// "Gesamt" (128/256), "Hirngewebe" (110/140), "Hoher Kontrast" (128/128),
/// "Dunkle Strukturen" (64/128), "Helle Strukturen" (192/128).
const std::vector<WindowPreset>& WindowPresets();

/// The window from the 1st to the 99th percentile of the voxels above 0 in
/// the first `sliceCount` planes (the background left out); the whole range
/// for an empty volume.
DisplayWindow AutoWindow(const std::uint8_t* volume, int sliceCount);

}  // namespace zx
