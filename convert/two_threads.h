// Work shared by two threads, each taking the next item when it is free.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <thread>

namespace zx {

/// Runs `work(k, thread)` for k = 0 … n − 1 on two threads (thread 0 is
/// the caller), each taking the next k when it is free (files take very
/// different times); the first failure stops both, `stop` is called, and
/// the failure is thrown again here.
template <typename F>
void OnTwoThreads(std::size_t n, F&& work, const std::function<void()>& stop = {}) {
    std::atomic<bool> failed{false};
    std::atomic<std::size_t> next{0};
    std::exception_ptr error;
    auto run = [&](int thread) {
        for (std::size_t k; !failed && (k = next++) < n;) {
            try {
                work(k, thread);
            } catch (...) {
                if (!failed.exchange(true)) error = std::current_exception();
                if (stop) stop();
                return;
            }
        }
    };
    std::thread helper(run, 1);
    run(0);
    helper.join();
    if (error) std::rethrow_exception(error);
}

}  // namespace zx
