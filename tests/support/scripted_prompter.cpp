#include "support/scripted_prompter.h"

namespace zxtest {

std::vector<Prompt> ScriptedPrompter::Messages() const {
    std::vector<Prompt> out;
    for (const Prompt& p : record) {
        if (p.kind == QLatin1String("message")) out.push_back(p);
    }
    return out;
}

int ScriptedPrompter::MessageDlg(zx::MsgKind kind, const QString& title, const QString& text,
                                 int buttons) {
    record.push_back({QStringLiteral("message"), kind, title, text, buttons});
    if (!messageAnswers.empty()) {
        const int a = messageAnswers.front();
        messageAnswers.pop_front();
        return a;
    }
    for (int b : {zx::mbOK, zx::mbYes, zx::mbNo, zx::mbCancel}) {
        if (buttons & b) return b;
    }
    return zx::mbOK;
}

bool ScriptedPrompter::OpenFiles(zx::TOpenDialog& dlg) {
    record.push_back({QStringLiteral("open"), zx::MsgKind::Plain, dlg.Title, dlg.Filter, 0});
    if (openAnswers.empty()) return false;
    const std::optional<QStringList> a = openAnswers.front();
    openAnswers.pop_front();
    if (!a || a->isEmpty()) return false;
    dlg.Files = *a;
    dlg.FileName = a->front();
    return true;
}

bool ScriptedPrompter::ChooseFolder(const QString& title, QString& folder) {
    record.push_back({QStringLiteral("folder"), zx::MsgKind::Plain, title, QString(), 0});
    if (folderAnswers.empty()) return false;
    const std::optional<QString> a = folderAnswers.front();
    folderAnswers.pop_front();
    if (!a) return false;
    folder = *a;
    return true;
}

bool ScriptedPrompter::SaveFile(zx::TSaveDialog& dlg) {
    record.push_back({QStringLiteral("save"), zx::MsgKind::Plain, dlg.Title, dlg.Filter, 0});
    if (saveAnswers.empty()) return false;
    const std::optional<QString> a = saveAnswers.front();
    saveAnswers.pop_front();
    if (!a) return false;
    dlg.FileName = *a;
    return true;
}

int ScriptedPrompter::ShowModal(QDialog& dlg) {
    record.push_back(
        {QStringLiteral("modal"), zx::MsgKind::Plain, dlg.objectName(), dlg.windowTitle(), 0});
    if (modalAnswers.empty()) return QDialog::Rejected;
    auto a = modalAnswers.front();
    modalAnswers.pop_front();
    return a(dlg);
}

bool ScriptedPrompter::InputQuery(const QString& caption, const QString& prompt, QString& value) {
    record.push_back({QStringLiteral("input"), zx::MsgKind::Plain, caption, prompt, 0});
    if (inputAnswers.empty()) return false;
    const std::optional<QString> a = inputAnswers.front();
    inputAnswers.pop_front();
    if (!a) return false;
    value = *a;
    return true;
}

bool ScriptedPrompter::PrintDialog(QPrinter& printer, int& copies) {
    record.push_back({QStringLiteral("print"), zx::MsgKind::Plain, QString(), QString(), 0});
    return printAnswer ? printAnswer(printer, copies) : false;
}

bool ScriptedPrompter::PrinterSetup(QPrinter&) {
    record.push_back({QStringLiteral("setup"), zx::MsgKind::Plain, QString(), QString(), 0});
    return false;
}

}  // namespace zxtest
