#pragma once

#include <QStringList>

#include <memory>

// Plays the user at Qt's own file dialog: once the next modal file dialog is up, types `text` into its file
// name box and presses Enter. A dialog that is still open a while later is rejected, so a test cannot hang.
class FileDialogTyping
{
public:
    explicit FileDialogTyping(const QString &text);
    ~FileDialogTyping();

    bool typed() const;    // the dialog was found and the name typed
    bool gaveUp() const;   // the dialog had to be rejected
    QString title() const; // the title of the dialog found
    QStringList nameFilters() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};
