// A file opened for reading by the viewer's readers: regular files only
// (a pipe or a device would never end, a directory is no file), opened
// without waiting, closed on every way out. Failures throw the runtime's
// German errors.
#pragma once

#include <sys/types.h>

#include <QString>
#include <cstddef>

#include "base/posix_file.h"

namespace zx {

class InputFile {
public:
    explicit InputFile(const QString& path);

    /// The file's size when it was opened.
    qint64 Size() const { return size_; }
    /// Reads up to `count` bytes at `offset`, retrying short reads until
    /// the end of the file; returns how many arrived.
    std::size_t ReadAt(void* dst, std::size_t count, qint64 offset) const;

private:
    UniqueFd fd_;
    qint64 size_ = 0;
};

}  // namespace zx
