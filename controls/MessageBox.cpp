#include "MessageBox.h"

#include "EventProcedure.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
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

// Room a window manager takes beside the title for the window's icon and its buttons.
constexpr int TitleBarExtras = 130;

// A box no wider than its text would show its title cut short; it is widened so that the whole title shows.
void widenForTitle(QMessageBox &box)
{
    auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (!label || !box.layout())
        return;
    box.layout()->activate();
    const int others = box.layout()->totalMinimumSize().width() - label->minimumSizeHint().width();
    const int wanted = box.fontMetrics().horizontalAdvance(box.windowTitle()) + TitleBarExtras;
    label->setMinimumWidth(qMax(label->minimumSizeHint().width(), wanted - others));
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
        widenForTitle(box);
        return box.exec() == QMessageBox::Yes ? MsgBoxResult::vbYes : MsgBoxResult::vbNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    widenForTitle(box);
    box.exec();
    return MsgBoxResult::vbOK;
}

void reportRuntimeError(const RuntimeError &error)
{
    const QString prompt = QStringLiteral("实时错误 '%1':\n\n%2").arg(error.number()).arg(error.description());
    MsgBox(prompt, MsgBoxStyle::vbCritical, QApplication::applicationDisplayName());
}
