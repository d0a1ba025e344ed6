// The ".vmr" volume file: raw 65,536-byte x planes, no header.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace zx {

/// Reads a volume file into `volume` (16 MiB, x-slowest layout) and returns
/// the number of planes read (0…256; a partly filled last plane counts and
/// is copied as far as the file goes; bytes past 256 planes are ignored).
/// The file is read into the staging volume first and copied over only when
/// the whole read succeeded, so a failure (RuntimeError) leaves `volume`
/// exactly as it was.
int ReadVmr(const QString& path, std::uint8_t* volume);

/// Writes planes 0 … max(sliceCount, 1) − 1 of `volume` to `path`, raw,
/// replacing the file. The planes go into a uniquely named temporary file in
/// the same folder, which is flushed and renamed over `path` only when every
/// plane was written: any failure (RuntimeError with the system's message, a
/// full device "Festplatte voll") leaves an existing file exactly as it was
/// and no temporary file behind. `progress` runs after every plane. Returns
/// the number of planes written.
int WriteVmr(const QString& path, const std::uint8_t* volume, int sliceCount,
             const std::function<void()>& progress = {});

}  // namespace zx
