#pragma once

#include "app/Form1.h"
#include "controls/MessageBox.h"

#include <QList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// The real window after start-up. Message boxes are answered by script with `answer` and kept in `boxes`.
class FormTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Shows the window and waits until it is the active one, as a user's keys need it.
    void showActive();
    QString status() const;
    // A picture file of the given size in the test's folder; BMP or JPEG by the name's suffix.
    QString writePicture(const QString &name, QSize size);
    QString path(const QString &name) const { return m_folder.filePath(name); }

    std::unique_ptr<Form1> form;
    QList<MessageBoxRequest> boxes;
    int answer = MsgBoxResult::vbNo;

private:
    QTemporaryDir m_folder;
};

// What a user sees of the window's state, to tell that something left it alone.
struct WindowState
{
    explicit WindowState(Form1 &form);
    bool operator==(const WindowState &) const = default;

    bool visible;
    QRect geometry;
    StdPicture picture;
    StdPicture preview;
    QString status;
    QList<bool> buttonsEnabled;
};
