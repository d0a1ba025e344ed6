#include "base/posix_file.h"

#include <unistd.h>

#include <cerrno>

namespace zx {

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

bool UniqueFd::Close() { return ::close(Release()) == 0; }

ssize_t ReadFullyAt(int fd, void* dst, std::size_t count, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t m =
            ::pread(fd, static_cast<char*>(dst) + done, count - done, off_t(offset + done));
        if (m < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (m == 0) break;
        done += std::size_t(m);
    }
    return ssize_t(done);
}

}  // namespace zx
