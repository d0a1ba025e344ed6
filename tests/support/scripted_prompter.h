// A prompter for tests: answers from queues and records every prompt, so a
// test drives modal commands without a person and reads what was shown.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "widgets/prompter.h"

namespace zxtest {

struct Prompt {
    QString kind;  ///< "message", "open", "save", "modal", "input", "print", "setup"
    zx::MsgKind msgKind = zx::MsgKind::Plain;
    QString title;  ///< message title, or the dialog's object name
    QString text;
    int buttons = 0;
};

class ScriptedPrompter : public zx::Prompter {
public:
    ScriptedPrompter() { zx::SetPrompter(this); }
    ~ScriptedPrompter() override { zx::SetPrompter(nullptr); }

    /// Answers, taken in order; an empty queue gives the defaults below.
    std::deque<int> messageAnswers;                      ///< default: the first button offered
    std::deque<std::optional<QStringList>> openAnswers;  ///< nullopt = cancel; default cancel
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<std::optional<QString>> folderAnswers;       ///< nullopt = cancel; default cancel
    std::deque<std::function<int(QDialog&)>> modalAnswers;  ///< default: reject
    std::deque<std::optional<QString>> inputAnswers;
    std::function<bool(QPrinter&, int&)> printAnswer;  ///< default: cancel

    std::vector<Prompt> record;
    /// The prompts that were message boxes.
    std::vector<Prompt> Messages() const;

    int MessageDlg(zx::MsgKind kind, const QString& title, const QString& text,
                   int buttons) override;
    bool OpenFiles(zx::TOpenDialog& dlg) override;
    bool SaveFile(zx::TSaveDialog& dlg) override;
    bool ChooseFolder(const QString& title, QString& folder) override;
    int ShowModal(QDialog& dlg) override;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool PrintDialog(QPrinter& printer, int& copies) override;
    bool PrinterSetup(QPrinter& printer) override;
};

}  // namespace zxtest
