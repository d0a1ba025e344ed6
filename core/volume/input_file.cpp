#include "core/volume/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

#include "core/volume/runtime_error.h"

namespace zx {

InputFile::InputFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) RaiseIoError(ENOENT);
    fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) RaiseIoError(errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        RaiseIoError(EACCES);  // as the platform reports a folder opened as a file
    }
    size_ = st.st_size;
}

InputFile::~InputFile() { ::close(fd_); }

std::size_t InputFile::ReadAt(void* dst, std::size_t count, qint64 offset) const {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t m = ::pread(fd_, static_cast<char*>(dst) + done, count - done, off_t(offset) + off_t(done));
        if (m < 0) {
            if (errno == EINTR) continue;
            RaiseIoError(errno);
        }
        if (m == 0) break;
        done += std::size_t(m);
    }
    return done;
}

}  // namespace zx
