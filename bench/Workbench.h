#pragma once

#include "app/Form1.h"

#include <QString>

// The program's window, driven as a person drives it: the buttons are clicked, the dialogs answered by
// script. Each call returns when the click's event procedure has run to its end; the window repaints what
// it changed at the next settle().
class Workbench
{
public:
    Workbench();
    ~Workbench();
    Workbench(const Workbench &) = delete;
    Workbench &operator=(const Workbench &) = delete;

    // Each throws std::runtime_error when the status line does not report success.
    void open(const QString &path);
    void decolorize();
    void save(const QString &path);

    // The open click without the check: what the status line said.
    QString tryOpen(const QString &path);

    // What the decolorize click does for the preview: the picture scaled to the preview's size.
    QImage preview() const;

    // Lets the window handle what the last click left for the event loop, its repaint above all.
    void settle();

    QString status();
    QImage picture() const;
    Form1 &form() { return m_form; }

private:
    void click(CommandButton &button);
    void expectStatus(const QString &expected, const char *click);

    Form1 m_form;
    QString m_answer;
    QString m_messageBox;
};
