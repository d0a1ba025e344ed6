// The one way exceptions are kept from crossing into Qt: every handler that
// Qt calls runs inside Guarded, which shows a failure in the application's
// general error box.
#pragma once

#include <QString>
#include <functional>
#include <type_traits>
#include <utility>

namespace zx {

/// Shows the application's general error box (title "Zerebrix", error icon,
/// OK) with `message`, a full stop added after a final letter or digit.
void ShowAppError(const QString& message);

/// Runs `f`; a RuntimeError or any other std::exception is shown by
/// ShowAppError and goes no further.
void Guarded(const std::function<void()>& f);

/// A slot for connect(): runs `f` inside Guarded, with the signal's
/// arguments when it takes them.
template <class F>
auto Slot(F f) {
    return [f = std::move(f)](auto&&... args) {
        Guarded([&] {
            if constexpr (std::is_invocable_v<const F&, decltype(args)...>) {
                f(args...);
            } else {
                f();
            }
        });
    };
}

}  // namespace zx
