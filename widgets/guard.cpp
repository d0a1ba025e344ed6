#include "widgets/guard.h"

#include <new>

#include "core/texts.h"
#include "core/volume/runtime_error.h"
#include "widgets/prompter.h"

namespace zx {

void ShowAppError(const QString& message) {
    prompter().MessageDlg(MsgKind::Application, QString::fromUtf8(texts::kAppTitle),
                          ErrorBoxText(message), mbOK);
}

void Guarded(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        ShowAppError(e.text());
    } catch (const std::bad_alloc&) {
        ShowAppError(QStringLiteral("Nicht genug Arbeitsspeicher."));
    } catch (const std::exception& e) {
        // The converters' messages are German, in UTF-8.
        ShowAppError(QString::fromUtf8(e.what()));
    }
}

}  // namespace zx
