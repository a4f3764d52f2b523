// The kelvo-gray command as a user runs it: what it writes, what it refuses, what it reports, how it ends.

#include "tests/hostile/PictureCorpus.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

struct Outcome
{
    int status = -1;
    QString errors;
};

class KelvoGray : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    QString path(const QString &name) const { return m_folder.filePath(name); }

    void writeFile(const QString &name, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(name)).path());
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << name.toStdString();
    }

    void writePicture(const QString &name, QSize size = {48, 32}) const
    {
        writeFile(name, PictureCorpus::jpegOf(PictureCorpus::bandedImage(size.width(), size.height())));
    }

    Outcome run(const QStringList &arguments, const QByteArray &input = {}) const
    {
        QProcess command;
        command.setWorkingDirectory(m_folder.path());
        command.start(QStringLiteral(KELVO_GRAY_PROGRAM), arguments);
        command.write(input);
        command.closeWriteChannel();
        EXPECT_TRUE(command.waitForFinished(20000)) << "still running: it hangs";
        command.kill();
        return {command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1,
                QString::fromUtf8(command.readAllStandardError())};
    }

    // Every file below the folder, relative to it.
    QStringList files() const
    {
        QStringList names;
        QDirIterator it(m_folder.path(), QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            names << QDir(m_folder.path()).relativeFilePath(it.next());
        names.sort();
        return names;
    }

    QByteArray bytesOf(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_folder;
};

// A broken file among good ones costs that file alone; other files in the folder are passed over; a second run
// skips what is there and reports it, --overwrite writes it again.
TEST_F(KelvoGray, ABrokenFileCostsOnlyThatFile)
{
    writePicture(QStringLiteral("相册/a.jpg"));
    writeFile(QStringLiteral("相册/b.jpg"), PictureCorpus::jpegOf(PictureCorpus::bandedImage(40, 30)).left(300));
    writeFile(QStringLiteral("相册/notes.txt"), "not a picture");
    writeFile(QStringLiteral("相册/c.bmp"), PictureCorpus::bmp24Of(PictureCorpus::bandedImage(9, 7)));

    // A pipe nobody writes to: passed over in the folder, refused when named, never waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("相册/pipe.jpg"))).constData(), 0600), 0);

    const Outcome first = run({QStringLiteral("相册"), QStringLiteral("相册/pipe.jpg")});
    EXPECT_EQ(first.status, 1);
    EXPECT_TRUE(first.errors.contains(QStringLiteral("kelvo-gray: 相册/b.jpg: 加载失败: 无效图片\n")))
        << first.errors.toStdString();
    EXPECT_TRUE(first.errors.contains(QStringLiteral("kelvo-gray: 相册/pipe.jpg: 加载失败: ")));
    EXPECT_EQ(first.errors.count(QStringLiteral("失败: ")), 2);
    EXPECT_EQ(files(), QStringList({QStringLiteral("相册/a-黑白.bmp"), QStringLiteral("相册/a.jpg"),
                                    QStringLiteral("相册/b.jpg"), QStringLiteral("相册/c-黑白.bmp"),
                                    QStringLiteral("相册/c.bmp"), QStringLiteral("相册/notes.txt"),
                                    QStringLiteral("相册/pipe.jpg")}));
    EXPECT_EQ(QImage(path(QStringLiteral("相册/c-黑白.bmp"))).size(), QSize(9, 7));

    writeFile(QStringLiteral("相册/a-黑白.bmp"), "kept");
    const Outcome again = run({QStringLiteral("相册/a.jpg")});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(again.errors.contains(QStringLiteral("相册/a.jpg: 已跳过"))) << again.errors.toStdString();
    EXPECT_EQ(bytesOf(QStringLiteral("相册/a-黑白.bmp")), "kept");
    EXPECT_EQ(run({QStringLiteral("--overwrite"), QStringLiteral("相册/a.jpg")}).status, 0);
    EXPECT_EQ(QImage(path(QStringLiteral("相册/a-黑白.bmp"))).size(), QSize(48, 32));
}

// An output folder keeps the layout below the folders given; the names come from a NUL-separated list on
// standard input; an input is never written over, nor one result by another.
TEST_F(KelvoGray, OutputFolderKeepsTheLayoutAndNeverWritesOverAnInput)
{
    writePicture(QStringLiteral("in/x.jpg"));
    writePicture(QStringLiteral("in/deep/y.jpg"));
    writePicture(QStringLiteral("in/deep/y.bmp"));
    const Outcome layout =
        run({QStringLiteral("-0"), QStringLiteral("--files-from"), QStringLiteral("-"), QStringLiteral("-r"),
             QStringLiteral("-o"), QStringLiteral("out"), QStringLiteral("-f"), QStringLiteral("png")},
            QByteArray("in\0", 3));
    EXPECT_EQ(layout.status, 1);
    EXPECT_TRUE(layout.errors.contains(QStringLiteral("in/deep/y.jpg: 保存失败"))) << layout.errors.toStdString();
    EXPECT_EQ(QImage(path(QStringLiteral("out/x-黑白.png"))).format(), QImage::Format_Grayscale8);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("out/deep/y-黑白.png"))));

    const QByteArray input = bytesOf(QStringLiteral("in/deep/y.bmp"));
    QFile::rename(path(QStringLiteral("in/deep/y.bmp")), path(QStringLiteral("in/x-黑白.bmp")));
    const Outcome overInput =
        run({QStringLiteral("--overwrite"), QStringLiteral("in/x.jpg"), QStringLiteral("in/x-黑白.bmp")});
    EXPECT_EQ(overInput.status, 1);
    EXPECT_EQ(bytesOf(QStringLiteral("in/x-黑白.bmp")), input);
}

TEST_F(KelvoGray, UsageErrorsEndWithStatusTwoAndWriteNothing)
{
    writePicture(QStringLiteral("a.jpg"));
    for (const QStringList &arguments :
         {QStringList(), QStringList({QStringLiteral("--bogus"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("-j"), QStringLiteral("0"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("-f"), QStringLiteral("gif"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("a.jpg"), QStringLiteral("-o")})}) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const Outcome usage = run(arguments);
        EXPECT_EQ(usage.status, 2);
        EXPECT_TRUE(usage.errors.contains(QStringLiteral("kelvo-gray --help")));
    }
    EXPECT_EQ(files(), QStringList(QStringLiteral("a.jpg")));
    EXPECT_EQ(run({QStringLiteral("--help")}).status, 0);
}

// Ctrl+C stops the run: files in work are finished, none is left half written or as a temporary file, and the
// command ends by the signal.
TEST_F(KelvoGray, AnInterruptLeavesOnlyWholeFiles)
{
    constexpr int Pictures = 60;
    for (int i = 0; i < Pictures; ++i)
        writePicture(QStringLiteral("many/%1.jpg").arg(i, 2, 10, QLatin1Char('0')), {700, 500});
    QProcess command;
    command.setWorkingDirectory(path(QStringLiteral("many")));
    command.start(QStringLiteral(KELVO_GRAY_PROGRAM), {QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral(".")});
    ASSERT_TRUE(command.waitForStarted());
    // Once the first results are there, the run is well under way.
    for (int wait = 0; wait < 400 && files().filter(QStringLiteral("-黑白")).size() < 2; ++wait)
        QThread::msleep(10);
    ::kill(pid_t(command.processId()), SIGINT);
    ASSERT_TRUE(command.waitForFinished(60000));
    const QStringList results = files().filter(QStringLiteral("-黑白"));
    EXPECT_LT(results.size(), Pictures) << "the run ended before the interrupt; nothing was tested";
    EXPECT_EQ(command.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(files().size(), Pictures + results.size()) << files().join(QLatin1Char(' ')).toStdString();
    for (const QString &result : results)
        EXPECT_EQ(QImage(path(result)).size(), QSize(700, 500)) << result.toStdString();
}

} // namespace
