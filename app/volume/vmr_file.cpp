#include "app/volume/vmr_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/volume/runtime_error.h"
#include "app/volume/volume.h"

namespace zx {

std::uint8_t* StagingVolume() {
    static std::unique_ptr<std::uint8_t[]> buffer = [] {
        std::unique_ptr<std::uint8_t[]> b(new std::uint8_t[kVolumeBytes]);
        std::memset(b.get(), 0, kVolumeBytes);  // fault the pages in once
        return b;
    }();
    return buffer.get();
}

namespace {

/// Closes a file descriptor on every way out.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

/// Reads up to `count` bytes, retrying short reads until the end of file.
std::size_t ReadFully(int fd, std::uint8_t* dst, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t m = ::read(fd, dst + done, count - done);
        if (m < 0) {
            if (errno == EINTR) continue;
            RaiseIoError(errno);
        }
        if (m == 0) break;
        done += std::size_t(m);
    }
    return done;
}

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
    Fd f;
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) RaiseIoError(ENOENT);
    f.fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (f.fd < 0) RaiseIoError(errno);

    std::uint8_t* staging = StagingVolume();
    int n = 0;
    std::size_t total = 0;
    for (;;) {
        const std::size_t m = ReadFully(f.fd, staging + std::size_t(n) * kPlaneBytes, kPlaneBytes);
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
    Fd f;
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) RaiseIoError(ENOENT);
    f.fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (f.fd < 0) RaiseIoError(errno);
    const int count = std::clamp(sliceCount, 1, kEdge);
    int k = 0;
    std::size_t last = kPlaneBytes;
    do {
        last = WriteFully(f.fd, volume + std::size_t(k) * kPlaneBytes, kPlaneBytes);
        ++k;
        if (progress) progress();
    } while (k < count && last == kPlaneBytes);
    const int fd = f.fd;
    f.fd = -1;
    if (::close(fd) != 0) RaiseIoError(errno);
    return k;
}

void WriteVmrAtomically(const QString& path, const std::uint8_t* volume, int sliceCount) {
    const QString tmp = path + QStringLiteral(".part");
    try {
        const int written = WriteVmr(tmp, volume, sliceCount);
        if (written != std::clamp(sliceCount, 1, kEdge) ||
            QFile(tmp).size() != qint64(written) * qint64(kPlaneBytes)) {
            RaiseIoError(ENOSPC);
        }
        if (std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) !=
            0) {
            RaiseIoError(errno);
        }
    } catch (...) {
        QFile::remove(tmp);
        throw;
    }
}

}  // namespace zx
