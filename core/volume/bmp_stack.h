// A stack of BMP pictures turned into volume planes.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace zx {

enum class Orientation { Sag = 0, Cor = 1, Tra = 2 };

/// Reads one BMP file; a missing or unreadable file throws the runtime's
/// input/output error, anything that is no BMP "Bitmap ist ungültig".
QImage LoadBmpFile(const QString& path);

/// Planes the stack occupies: files × depth.
inline int StackDepthTotal(int files, int depth) { return files * depth; }

/// SliceCount after a stack import: t for sagittal stacks, 255 otherwise.
inline int StackSliceCount(int total, Orientation o) { return o == Orientation::Sag ? total : 255; }

/// Builds the volume from `files` (each picture filling `depth` adjacent
/// planes) into `target`, which is cleared first. Each voxel is the red
/// component of the picture's pixel; positions outside a picture give 255.
/// Coronal and transversal pictures are centred by (256 − t) div 2.
/// `progress(i, path)` runs after file i was read. Throws on the first file
/// that cannot be read; `target` then holds a partial volume, so callers
/// build into a scratch volume and copy it over on success.
void AssembleStack(const QStringList& files, int depth, Orientation o, std::uint8_t* target,
                   const std::function<void(int, const QString&)>& progress = {});

}  // namespace zx
