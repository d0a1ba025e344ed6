// Work on a range split in two halves, one on a second thread: for the
// section copies, the 3-D view's preparation and a converted volume's
// greys, which are bound by memory traffic that two cores move faster
// than one.
#pragma once

#include <system_error>
#include <thread>

namespace zx {

/// Runs f(0, n/2) on a second thread and f(n/2, n) here, and returns when
/// both are done. Without a thread to be had, both halves run here. The
/// halves must not write the same memory. When the half run here throws,
/// the second thread is still joined (std::jthread) before the exception
/// leaves; `f` must not throw on the second thread.
template <typename F>
void InTwoHalves(int n, F&& f) {
    const int middle = n / 2;
    std::jthread first;
    try {
        first = std::jthread([&] { f(0, middle); });
    } catch (const std::system_error&) {
        f(0, middle);
    }
    f(middle, n);
}

}  // namespace zx
