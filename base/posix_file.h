// File descriptors closed on every way out, and reads that retry until
// they have what was asked for: shared by the viewer's readers and the
// DICOM reader program.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace zx {

/// Owns a file descriptor (−1: none) and closes it when it goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    /// Gives the descriptor up without closing it.
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    /// Closes the descriptor held (its error is lost) and holds `fd`.
    void Reset(int fd = -1);
    /// Closes the descriptor now; false (errno set) when close reports an
    /// error, which for a written file may mean lost data. Holds none
    /// afterwards either way.
    bool Close();

private:
    int fd_ = -1;
};

/// Reads `count` bytes at `offset` with pread, retrying interrupted and
/// short reads until the end of the file: how many arrived, or −1 (errno
/// set) when a read fails.
ssize_t ReadFullyAt(int fd, void* dst, std::size_t count, std::uint64_t offset);

}  // namespace zx
