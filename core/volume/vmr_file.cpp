#include "core/volume/vmr_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/posix_file.h"
#include "core/volume/input_file.h"
#include "core/volume/runtime_error.h"
#include "core/volume/volume.h"

namespace zx {

std::uint8_t* StagingVolume() {
    static const std::unique_ptr<std::uint8_t[], void (*)(void*)> buffer = [] {
        auto* b = static_cast<std::uint8_t*>(std::aligned_alloc(64, kVolumeBytes));
        if (!b) throw std::bad_alloc();
        std::memset(b, 0, kVolumeBytes);  // fault the pages in once
        return std::unique_ptr<std::uint8_t[], void (*)(void*)>(b, std::free);
    }();
    return buffer.get();
}

namespace {

/// Writes up to `count` bytes; returns how many went out before the device
/// stopped taking them (disk full gives a short count without an error).
std::size_t WriteFully(int fd, const std::uint8_t* src, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t m = ::write(fd, src + done, count - done);
        if (m < 0) {
            if (errno == EINTR) continue;
            if (errno == ENOSPC && done > 0) break;
            RaiseIoError(errno);
        }
        if (m == 0) break;
        done += std::size_t(m);
    }
    return done;
}

}  // namespace

int ReadVmr(const QString& path, std::uint8_t* volume) {
    const InputFile file(path);
    std::uint8_t* staging = StagingVolume();
    int n = 0;
    std::size_t total = 0;
    for (;;) {
        const std::size_t m =
            file.ReadAt(staging + std::size_t(n) * kPlaneBytes, kPlaneBytes, qint64(total));
        if (m == 0) break;
        total += m;
        ++n;
        if (n == kEdge || m < kPlaneBytes) break;
    }
    // Everything arrived: only now does the visible volume change.
    std::memcpy(volume, staging, total);
    return n;
}

int WriteVmr(const QString& path, const std::uint8_t* volume, int sliceCount,
             const std::function<void()>& progress) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) RaiseIoError(ENOENT);
    // A uniquely named file, created exclusively in the target's folder (no
    // predictable name to plant a link at), renamed over the target only
    // when every plane is on disk.
    const int slash = name.lastIndexOf('/');
    QByteArray tmpl = (slash >= 0 ? name.left(slash + 1) : QByteArray()) + ".zerebrix-XXXXXX";
    UniqueFd f(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (!f.Valid()) RaiseIoError(errno);
    try {
        // The new file gets the old file's permissions, or the usual ones.
        struct stat old {};
        const bool replacing = ::stat(name.constData(), &old) == 0;
        if (replacing) {
            ::fchmod(f.Get(), old.st_mode & 07777);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(f.Get(), 0666 & ~mask);
        }
        const int count = std::clamp(sliceCount, 1, kEdge);
        for (int k = 0; k < count; ++k) {
            if (WriteFully(f.Get(), volume + std::size_t(k) * kPlaneBytes, kPlaneBytes) !=
                kPlaneBytes) {
                RaiseIoError(ENOSPC);
            }
            if (progress) progress();
        }
        // A file that replaces another reaches the disk before the rename,
        // so that a crash leaves the old file or the new one, never an
        // empty one; a new file is not waited for (nothing that existed
        // can be lost; a file cut short by a crash is refused on reading),
        // as desktop file writers commonly do. The wait is a good part of
        // a conversion's time.
        if (replacing && ::fsync(f.Get()) != 0) RaiseIoError(errno);
        if (!f.Close()) RaiseIoError(errno);
        if (std::rename(tmpl.constData(), name.constData()) != 0) RaiseIoError(errno);
        return count;
    } catch (...) {
        ::unlink(tmpl.constData());
        throw;
    }
}

}  // namespace zx
