// Runtime failures of the viewer: file input/output, picture loading and
// integer conversion. Each carries the German text the user is shown.
#pragma once

#include <QString>
#include <stdexcept>

namespace zx {

/// A failure that ends the running command and reaches the user through the
/// application's general error box. `text()` is the message as shown.
class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(const QString& text);
    const QString& text() const { return text_; }

private:
    QString text_;
};

/// The German message for an operating-system error number.
QString IoErrorText(int errnoValue);

/// Throws the input/output error for errno value `err`.
[[noreturn]] void RaiseIoError(int err);

/// Converts a whole text (optional sign, decimal digits) to an integer, or
/// throws "'%s' ist kein gültiger Integerwert".
int StrToInt(const QString& text);

/// The text of the general error box: a full stop is added when the message
/// ends in a letter or a digit.
QString ErrorBoxText(const QString& message);

}  // namespace zx
