#include "RealFileDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

struct FileDialogTyping::State
{
    QString text;
    int ticksSeen = 0; // timer ticks since the dialog came up
    int attempts = 0;
    bool typed = false;
    bool gaveUp = false;
    QString title;
    QStringList nameFilters;
    QElapsedTimer clock;
    QPointer<QTimer> timer;
};

namespace {

constexpr int TickMs = 20;
constexpr int SettleTicks = 5;
constexpr int MaxAttempts = 5;
constexpr int GiveUpAfterMs = 15000;

QFileDialog *openFileDialog()
{
    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    return dialog && dialog->isVisible() ? dialog : nullptr;
}

// One step of the user at the dialog, a timer tick apart: look, type, check what the box shows, press Enter.
void actOn(QFileDialog *dialog, FileDialogTyping::State &state)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!edit || state.attempts > MaxAttempts || state.clock.elapsed() > GiveUpAfterMs) {
        state.gaveUp = true;
        dialog->reject();
        return;
    }
    if (++state.ticksSeen == 1) {
        state.title = dialog->windowTitle();
        state.nameFilters = dialog->nameFilters();
    }
    // The dialog lists its folder in the background; typing into it before that settles can be undone.
    if (state.ticksSeen < SettleTicks)
        return;
    if (edit->text() != state.text) {
        ++state.attempts;
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, state.text);
        return;
    }
    if (QCompleter *completer = edit->completer(); completer && completer->popup()->isVisible())
        completer->popup()->hide();
    state.typed = true;
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

FileDialogTyping::FileDialogTyping(const QString &text)
    : m_state(std::make_shared<State>())
{
    m_state->text = text;
    m_state->clock.start();
    auto *timer = new QTimer;
    m_state->timer = timer;
    timer->setInterval(TickMs);
    // The dialog runs its own event loop; the timer keeps firing inside it.
    QObject::connect(timer, &QTimer::timeout, timer, [state = m_state] {
        if (QFileDialog *dialog = openFileDialog())
            actOn(dialog, *state);
    });
    timer->start();
}

FileDialogTyping::~FileDialogTyping()
{
    delete m_state->timer;
}

bool FileDialogTyping::typed() const
{
    return m_state->typed;
}

bool FileDialogTyping::gaveUp() const
{
    return m_state->gaveUp;
}

QString FileDialogTyping::title() const
{
    return m_state->title;
}

QStringList FileDialogTyping::nameFilters() const
{
    return m_state->nameFilters;
}
