#pragma once

#include <QPushButton>

// The toolkit's command button; clicked() is its Click event.
class CommandButton : public QPushButton
{
    Q_OBJECT

public:
    explicit CommandButton(const QString &caption, QWidget *parent = nullptr)
        : QPushButton(caption, parent)
    {
        setAutoDefault(false);
    }

    QString Caption() const { return text(); }
    bool Enabled() const { return isEnabled(); }
};
