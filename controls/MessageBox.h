#pragma once

#include <QString>

#include <functional>

// The toolkit's modal message box, with its customary button and icon flags and answers.
namespace MsgBoxStyle {
inline constexpr int vbOKOnly = 0, vbYesNo = 4, vbCritical = 16, vbExclamation = 48, vbInformation = 64;
} // namespace MsgBoxStyle

namespace MsgBoxResult {
inline constexpr int vbOK = 1, vbYes = 6, vbNo = 7;
} // namespace MsgBoxResult

// Shows `prompt` under `title` and waits for the user's answer, which it returns.
int MsgBox(const QString &prompt, int buttons, const QString &title);

// Tests answer message boxes by script instead of a person: the script sees each box and returns the answer.
struct MessageBoxRequest
{
    QString prompt;
    int buttons = 0;
    QString title;
};
using MessageBoxScript = std::function<int(const MessageBoxRequest &)>;
void setMessageBoxScript(MessageBoxScript script);
