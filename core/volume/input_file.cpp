#include "core/volume/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>

#include "core/volume/runtime_error.h"

namespace zx {

InputFile::InputFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty()) RaiseIoError(ENOENT);
    fd_.Reset(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd_.Valid()) RaiseIoError(errno);
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        RaiseIoError(EACCES);  // as the platform reports a folder opened as a file
    }
    size_ = st.st_size;
}

std::size_t InputFile::ReadAt(void* dst, std::size_t count, qint64 offset) const {
    const ssize_t m = ReadFullyAt(fd_.Get(), dst, count, std::uint64_t(offset));
    if (m < 0) RaiseIoError(errno);
    return std::size_t(m);
}

}  // namespace zx
