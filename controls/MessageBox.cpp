#include "MessageBox.h"

#include "EventProcedure.h"

#include <QApplication>
#include <QMessageBox>

namespace {

MessageBoxScript &script()
{
    static MessageBoxScript instance;
    return instance;
}

QMessageBox::Icon iconFor(int buttons)
{
    switch (buttons & 0x70) {
    case MsgBoxStyle::vbCritical: return QMessageBox::Critical;
    case 32: return QMessageBox::Question;
    case MsgBoxStyle::vbExclamation: return QMessageBox::Warning;
    case MsgBoxStyle::vbInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

} // namespace

void setMessageBoxScript(MessageBoxScript newScript)
{
    script() = std::move(newScript);
}

int MsgBox(const QString &prompt, int buttons, const QString &title)
{
    if (script())
        return script()({prompt, buttons, title});

    QMessageBox box(iconFor(buttons), title, prompt, QMessageBox::NoButton, QApplication::activeWindow());
    if ((buttons & 0x0F) == MsgBoxStyle::vbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgBoxResult::vbYes : MsgBoxResult::vbNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgBoxResult::vbOK;
}

void reportRuntimeError(const RuntimeError &error)
{
    const QString prompt = QStringLiteral("实时错误 '%1':\n\n%2").arg(error.number()).arg(error.description());
    MsgBox(prompt, MsgBoxStyle::vbCritical, QApplication::applicationDisplayName());
}
