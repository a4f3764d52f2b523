#pragma once

#include "app/Form1.h"
#include "controls/App.h"
#include "controls/CommonDialog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

// The program's folder as the build lays it out; the tests run from there.
inline QString programDir()
{
    const QString dir = qEnvironmentVariable("KELVO_PROGRAM_DIR");
    return dir.isEmpty() ? QDir::currentPath() : dir;
}

inline bool runningAsRoot()
{
    return geteuid() == 0;
}

inline QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << qPrintable(path);
    return path;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The program's window, loaded as at start, with its dialogs answered by the test.
class ProgramWindow : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { App::setPathForTesting(programDir()); }

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        form.Form_Load();
    }
    void TearDown() override { CommonDialog::setScript({}); }

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString status() { return form.St1.Panels(2).Text(); }

    // Every dialog of the click that follows is answered with `chosen`.
    void answerDialogsWith(const QString &chosen)
    {
        CommonDialog::setScript(
            [chosen](const CommonDialog::Request &) { return CommonDialog::Answer::choose(chosen); });
    }
    void open(const QString &chosen)
    {
        answerDialogsWith(chosen);
        form.Command2.click();
    }
    void save(const QString &chosen)
    {
        answerDialogsWith(chosen);
        form.Command3.click();
    }

    QTemporaryDir m_dir;
    Form1 form;
};
