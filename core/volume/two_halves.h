// Work on a range split in two halves, one on a second thread: for the
// volume copies and the resampling, which are bound by memory traffic that
// two cores move faster than one.
#pragma once

#include <system_error>
#include <thread>

namespace zx {

/// Runs f(0, n/2) on a second thread and f(n/2, n) here, and returns when
/// both are done. Without a thread to be had, both halves run here. `f`
/// must not throw and the halves must not write the same memory.
template <typename F>
void InTwoHalves(int n, F&& f) {
    const int middle = n / 2;
    std::thread first;
    try {
        first = std::thread([&] { f(0, middle); });
    } catch (const std::system_error&) {
        f(0, middle);
    }
    f(middle, n);
    if (first.joinable()) first.join();
}

}  // namespace zx
