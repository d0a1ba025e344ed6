// What the windows of their own (the options dialog, the import window) may
// do to the main window. The main window implements it; these windows never
// include the main window's header, so the layers stay one-way.
#pragma once

#include <QString>
#include <cstdint>

namespace zx {

/// A new volume, from any source, as the main window adopts it.
struct AdoptedVolume {
    /// The 16 MiB of voxels to take; null when they were read into the
    /// main window's volume in place already (a volume file).
    const std::uint8_t* voxels = nullptr;
    int planes = 0;            ///< valid x planes, 0…256
    double edgeMm = 0;         ///< voxel edge in mm, 0 when unknown
    QString fileName;          ///< the volume file, empty when there is none
    QString caption;           ///< the main window's caption
    bool infoPicture = false;  ///< an info file's picture was read with it
    /// The status bar's text afterwards; empty keeps what it shows.
    QString status;
};

class TMainWindowPort {
public:
    /// Shows or hides the info panel and the coordinate panel.
    virtual void ShowInfoPanel(bool on) = 0;
    virtual void ShowNavPanel(bool on) = 0;
    /// Shows or hides the view titles and axis letters.
    virtual void ShowViewLabels(bool on) = 0;
    /// The crosshair's length, thickness or gap changed: draw it anew.
    virtual void CrosshairParamsChanged() = 0;
    /// How many planes a stack import may fill.
    virtual int StackCapacity() const = 0;
    /// Takes a new volume as every way of opening one does.
    virtual void AdoptVolume(const AdoptedVolume& v) = 0;
    /// Keeps `voxels` (16 MiB) as the second volume that the sagittal view
    /// mixes into red; the volume no longer matches a file.
    virtual void AdoptOverlay(const std::uint8_t* voxels) = 0;

protected:
    ~TMainWindowPort() = default;
};

}  // namespace zx
