#include "FormFixture.h"

#include "controls/Shell.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A stand-in for the desktop's opener, first on the PATH: it writes one line per start, its argument count
// and then each argument.
class StandInOpener
{
public:
    StandInOpener()
        : m_savedPath(qgetenv("PATH"))
    {
        QFile script(m_folder.filePath(QStringLiteral("xdg-open")));
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\n{ printf '%s' \"$#\"; printf '|%s' \"$@\"; printf '\\n'; } >> '"
                     + QFile::encodeName(log()) + "'\n");
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(m_folder.path()) + ':' + m_savedPath);
    }
    ~StandInOpener() { qputenv("PATH", m_savedPath); }

    QString log() const { return m_folder.filePath(QStringLiteral("started.log")); }
    QStringList starts() const
    {
        QFile file(log());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    // Waits for `count` starts, then a little longer, so that a surplus start would be seen too.
    QStringList waitForStarts(int count) const
    {
        (void)QTest::qWaitFor([&] { return starts().size() >= count; }, 5000);
        QTest::qWait(200);
        return starts();
    }

private:
    QTemporaryDir m_folder;
    QByteArray m_savedPath;
};

} // namespace

TEST_F(FormTest, EachLinkButtonStartsOneOpenerWithItsAddressAndChangesNothing)
{
    form->show();
    const StandInOpener opener;
    QStringList commandLines;
    setShellWatcher([&](const QString &commandLine, int windowStyle) {
        commandLines << commandLine;
        EXPECT_EQ(windowStyle, AppWinStyle::vbMinimizedFocus) << commandLine.toStdString();
    });
    const WindowState before(*form);
    const std::pair<CommandButton *, const char *> links[] = {
        {&form->Command5, "1|http://blog.example.org/"},
        {&form->Command6, "1|http://forum.example.org/"},
        {&form->Command7, "1|http://shop.example.org/"},
    };
    QStringList expected;
    for (const auto &[button, started] : links) {
        button->click();
        expected << QString::fromLatin1(started);
        EXPECT_EQ(opener.waitForStarts(expected.size()), expected);
    }
    // A second click starts a second opener.
    form->Command5.click();
    expected << expected[0];
    EXPECT_EQ(opener.waitForStarts(expected.size()), expected);
    setShellWatcher({});
    // The launcher was handed the file explorer, one space and the address, nothing else.
    ASSERT_EQ(commandLines.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(commandLines[i].toStdString(),
                  (QStringLiteral("explorer.exe ") + expected[i].section(QLatin1Char('|'), 1)).toStdString());

    EXPECT_TRUE(WindowState(*form) == before);
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(FormTest, LauncherPassesTheArgumentWithoutAShell)
{
    const StandInOpener opener;
    const QString argument = QStringLiteral("http://a.example.org/?q=1&r=$(touch x); echo 'b' \"c\"");
    EXPECT_GT(Shell(QStringLiteral("explorer.exe ") + argument, AppWinStyle::vbMinimizedFocus), 0);
    EXPECT_EQ(opener.waitForStarts(1), QStringList{QStringLiteral("1|") + argument});
}

TEST_F(FormTest, LauncherThatCannotStartIsReportedAndTheWindowStays)
{
    form->show();
    const QTemporaryDir emptyFolder;
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(emptyFolder.path()));
    const WindowState before(*form);
    form->Command6.click();
    qputenv("PATH", savedPath);

    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].prompt.contains(QStringLiteral("53")));
    EXPECT_EQ(boxes[0].buttons & MsgBoxStyle::vbCritical, MsgBoxStyle::vbCritical);
    EXPECT_TRUE(WindowState(*form) == before);
}
