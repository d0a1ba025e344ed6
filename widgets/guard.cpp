#include "widgets/guard.h"

#include "widgets/prompter.h"
#include "core/texts.h"
#include "core/volume/runtime_error.h"

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
    } catch (const std::exception& e) {
        ShowAppError(QString::fromLocal8Bit(e.what()));
    }
}

}  // namespace zx
