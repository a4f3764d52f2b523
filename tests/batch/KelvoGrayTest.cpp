// The kelvo-gray command as a user runs it: what it writes, what it refuses, what it reports, how it ends.

#include "tests/hostile/PictureCorpus.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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
        return run(command, arguments, input);
    }

    // With the system calls named in `failing` failing (see tests/support/FailingCalls.cpp).
    Outcome runFailing(const char *failing, const QStringList &arguments) const
    {
        QProcess command;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KELVO_FAIL"), QString::fromLatin1(failing));
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(KELVO_FAILING_CALLS));
        // Under the address sanitizer, its runtime need not come first for this.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS"))
                                                               + QStringLiteral(":verify_asan_link_order=0"));
        command.setProcessEnvironment(environment);
        return run(command, arguments);
    }

    Outcome run(QProcess &command, const QStringList &arguments, const QByteArray &input = {}) const
    {
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

    // A file whose name is raw bytes, such as GBK, which no QString carries.
    void writeRawNamed(const QByteArray &name, const QByteArray &bytes) const
    {
        const int fd =
            ::open((QFile::encodeName(m_folder.path()) + '/' + name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
        ::close(fd);
    }

    // What a tool of the system prints, run in the folder; empty, and the test failed, when it fails.
    QByteArray tool(const QString &program, const QStringList &arguments) const
    {
        QProcess process;
        process.setWorkingDirectory(m_folder.path());
        process.start(program, arguments);
        const bool ended = process.waitForFinished(20000);
        EXPECT_TRUE(ended && process.exitCode() == 0)
            << program.toStdString() << ": " << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput();
    }

    // The metadata of a file, as exiftool reads it: date taken, camera, latitude, orientation, XMP keyword and
    // the thumbnail's length, "-" for each that is not there.
    std::string metadataOf(const QString &name) const
    {
        return tool(QStringLiteral("exiftool"),
                    {QStringLiteral("-s3"), QStringLiteral("-f"), QStringLiteral("-n"),
                     QStringLiteral("-DateTimeOriginal"), QStringLiteral("-Model"), QStringLiteral("-GPSLatitude"),
                     QStringLiteral("-Orientation"), QStringLiteral("-XMP:Subject"), QStringLiteral("-ThumbnailLength"),
                     QStringLiteral("-IPTC:ObjectName"), name})
            .toStdString();
    }

    bool rawExists(const QByteArray &name) const
    {
        struct stat status = {};
        return ::lstat((QFile::encodeName(m_folder.path()) + '/' + name).constData(), &status) == 0;
    }

private:
    QTemporaryDir m_folder;
};

// A broken file among good ones costs that file alone; other files in the folder are passed over; a second run
// skips what is there and counts it (naming it only with -v), --overwrite writes it again; a run with nothing to
// do ends at once.
TEST_F(KelvoGray, ABrokenFileCostsOnlyThatFile)
{
    writePicture(QStringLiteral("相册/trip.day1.jpg"));
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
    EXPECT_EQ(files(), QStringList({QStringLiteral("相册/b.jpg"), QStringLiteral("相册/c-黑白.bmp"),
                                    QStringLiteral("相册/c.bmp"), QStringLiteral("相册/notes.txt"),
                                    QStringLiteral("相册/pipe.jpg"), QStringLiteral("相册/trip.day1-黑白.bmp"),
                                    QStringLiteral("相册/trip.day1.jpg")}));
    EXPECT_EQ(QImage(path(QStringLiteral("相册/c-黑白.bmp"))).size(), QSize(9, 7));

    writeFile(QStringLiteral("相册/trip.day1-黑白.bmp"), "kept");
    const Outcome again = run({QStringLiteral("相册/trip.day1.jpg")});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.errors, QStringLiteral("完成: 转换 0 个, 跳过 1 个, 失败 0 个, 用时 0.0 秒\n"));
    const Outcome told = run({QStringLiteral("-v"), QStringLiteral("相册/trip.day1.jpg")});
    EXPECT_TRUE(told.errors.contains(QStringLiteral("相册/trip.day1.jpg: 已跳过: 输出文件已存在\n")))
        << told.errors.toStdString();
    EXPECT_EQ(bytesOf(QStringLiteral("相册/trip.day1-黑白.bmp")), "kept");
    EXPECT_EQ(run({QStringLiteral("--overwrite"), QStringLiteral("相册/trip.day1.jpg")}).status, 0);
    EXPECT_EQ(QImage(path(QStringLiteral("相册/trip.day1-黑白.bmp"))).size(), QSize(48, 32));

    QDir().mkpath(path(QStringLiteral("空")));
    EXPECT_EQ(run({QStringLiteral("-r"), QStringLiteral("空")}).status, 0);
}

// Below an output folder, a named folder's pictures keep their places below it, at every depth; a listed path
// (or a named one with -R) is kept whole, its leading "/" dropped, one that climbs out with ".." refused. A
// list ends in the separator that find writes, and no empty entry comes of it.
TEST_F(KelvoGray, OutputFolderKeepsTheLayout)
{
    writePicture(QStringLiteral("in/x.jpg"));
    writePicture(QStringLiteral("in/deep/deeper/z.jpg"));
    EXPECT_EQ(run({QStringLiteral("-r"), QStringLiteral("-o"), QStringLiteral("named"), QStringLiteral("in")}).status,
              0);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("named/x-黑白.bmp"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("named/deep/deeper/z-黑白.bmp"))));

    const Outcome nul = run({QStringLiteral("-0"), QStringLiteral("--files-from=-"), QStringLiteral("-o"),
                             QStringLiteral("listed"), QStringLiteral("-f"), QStringLiteral("png")},
                            QByteArray("in/deep/deeper/z.jpg\0./in/x.jpg\0", 32));
    EXPECT_EQ(nul.status, 0) << nul.errors.toStdString();
    EXPECT_EQ(QImage(path(QStringLiteral("listed/in/deep/deeper/z-黑白.png"))).format(), QImage::Format_Grayscale8);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("listed/in/x-黑白.png"))));

    // A list of NUL-separated paths read as lines is one entry holding NUL bytes, which names no file: refused
    // whole, never cut short at its first NUL into a source's own name.
    const QByteArray source = bytesOf(QStringLiteral("in/x.jpg"));
    const Outcome unseparated =
        run({QStringLiteral("--overwrite"), QStringLiteral("--files-from=-")}, QByteArray("in/x.jpg\0", 9));
    EXPECT_EQ(unseparated.status, 1);
    EXPECT_TRUE(unseparated.errors.contains(QStringLiteral("-0"))) << unseparated.errors.toStdString();
    EXPECT_EQ(bytesOf(QStringLiteral("in/x.jpg")), source);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("in/x-黑白.bmp"))));
    // A list saved by an editor that marks UTF-8 begins with the mark, which is no part of the first path.
    EXPECT_EQ(run({QStringLiteral("--files-from=-")}, "\xEF\xBB\xBFin/x.jpg\r\n").status, 0);
    EXPECT_TRUE(QFile::remove(path(QStringLiteral("in/x-黑白.bmp"))));

    const QByteArray absolute = QFile::encodeName(path(QStringLiteral("in/deep/deeper/z.jpg")));
    const Outcome lines =
        run({QStringLiteral("--files-from"), QStringLiteral("-"), QStringLiteral("-o"), QStringLiteral("lines")},
            absolute + "\nin/x.jpg\n");
    EXPECT_EQ(lines.status, 0) << lines.errors.toStdString();
    EXPECT_TRUE(QFile::exists(
        path(QStringLiteral("lines")
             + QString::fromUtf8(absolute).replace(QStringLiteral("/z.jpg"), QStringLiteral("/z-黑白.bmp")))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("lines/in/x-黑白.bmp"))));

    const Outcome climbing = run({QStringLiteral("-R"), QStringLiteral("-o"), QStringLiteral("kept"),
                                  QStringLiteral("in/deep/deeper/z.jpg"), QStringLiteral("in/deep/../x.jpg")});
    EXPECT_EQ(climbing.status, 1);
    EXPECT_TRUE(climbing.errors.contains(QStringLiteral("in/deep/../x.jpg: 加载失败: 路径中有“..”")))
        << climbing.errors.toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("kept/in/deep/deeper/z-黑白.bmp"))));
}

// Two inputs that would meet in one name each get a name of their own, the same whatever the order they come
// in; a result named again, as a glob does on a second run, is its source's output, not a new input.
TEST_F(KelvoGray, EveryInputGetsAnOutputOfItsOwnOnEveryRun)
{
    writePicture(QStringLiteral("a/IMG_0001.jpg"));
    writePicture(QStringLiteral("b/IMG_0001.jpg"), {20, 10});
    writePicture(QStringLiteral("b/IMG_0001.bmp"), {30, 10});
    const QStringList inputs = {QStringLiteral("a/IMG_0001.jpg"), QStringLiteral("b/IMG_0001.jpg"),
                                QStringLiteral("b/IMG_0001.bmp")};
    const auto outputs = [this](const QString &folder) {
        return QDir(path(folder)).entryList(QDir::Files, QDir::Name);
    };
    EXPECT_EQ(run(QStringList{QStringLiteral("-o"), QStringLiteral("one")} + inputs).status, 0);
    EXPECT_EQ(
        run(QStringList{QStringLiteral("-o"), QStringLiteral("two")} + QStringList{inputs[2], inputs[1], inputs[0]})
            .status,
        0);
    EXPECT_EQ(outputs(QStringLiteral("one")).size(), 3) << outputs(QStringLiteral("one")).join(u' ').toStdString();
    EXPECT_EQ(outputs(QStringLiteral("one")), outputs(QStringLiteral("two")));
    for (const QString &name : outputs(QStringLiteral("one")))
        EXPECT_EQ(bytesOf(QStringLiteral("one/") + name), bytesOf(QStringLiteral("two/") + name)) << name.toStdString();

    // Shares of one run give what the run gives, though the two names meet only when taken together; and a
    // second run that spells the same files otherwise finds them done.
    for (const QString &share : {QStringLiteral("0/2"), QStringLiteral("1/2")})
        EXPECT_EQ(run({QStringLiteral("--slice"), share, QStringLiteral("-o"), QStringLiteral("shares"), inputs[0],
                       inputs[1]})
                      .status,
                  0);
    EXPECT_EQ(run({QStringLiteral("-o"), QStringLiteral("single"), inputs[0], inputs[1]}).status, 0);
    EXPECT_EQ(outputs(QStringLiteral("shares")).size(), 2);
    EXPECT_EQ(outputs(QStringLiteral("shares")), outputs(QStringLiteral("single")));
    const Outcome respelled = run({QStringLiteral("-o"), QStringLiteral("single"), QStringLiteral("./a//IMG_0001.jpg"),
                                   QStringLiteral("b/./IMG_0001.jpg")});
    EXPECT_TRUE(respelled.errors.contains(QStringLiteral("转换 0 个, 跳过 2 个"))) << respelled.errors.toStdString();

    // Told apart the same way however the files are spelled: by a folder, then by a glob of absolute paths.
    writePicture(QStringLiteral("pair/x.jpg"));
    writeFile(QStringLiteral("pair/x.bmp"), PictureCorpus::bmp24Of(PictureCorpus::bandedImage(9, 7)));
    EXPECT_EQ(run({QStringLiteral("pair")}).status, 0);
    QStringList absolute;
    for (const QString &name : QDir(path(QStringLiteral("pair"))).entryList(QDir::Files))
        absolute << path(QStringLiteral("pair/") + name);
    ASSERT_EQ(absolute.size(), 4);
    EXPECT_EQ(run(absolute).status, 0);
    // Nor by which of them a run is given: the bitmaps alone (as *.bmp gives them) are a source whose namesake
    // stands beside it, and results whose source does.
    EXPECT_EQ(run(absolute.filter(QStringLiteral(".bmp"))).status, 0);
    EXPECT_EQ(QDir(path(QStringLiteral("pair"))).entryList(QDir::Files).size(), 4);

    writePicture(QStringLiteral("glob/x.jpg"));
    const QStringList glob = {QStringLiteral("glob/x.jpg"), QStringLiteral("glob/x-黑白.bmp")};
    EXPECT_EQ(run({glob[0]}).status, 0);
    const QByteArray firstResult = bytesOf(glob[1]);
    const Outcome again = run(glob);
    EXPECT_EQ(again.status, 0) << again.errors.toStdString();
    EXPECT_EQ(run(QStringList{QStringLiteral("--overwrite")} + glob).status, 0);
    EXPECT_EQ(QDir(path(QStringLiteral("glob"))).entryList(QDir::Files),
              QStringList({QStringLiteral("x-黑白.bmp"), QStringLiteral("x.jpg")}));
    EXPECT_EQ(bytesOf(glob[1]), firstResult);

    // The file the system would replace is never a source, whatever name it goes by.
    ASSERT_TRUE(QFile::remove(path(glob[1])));
    ASSERT_EQ(::link(QFile::encodeName(path(glob[0])).constData(), QFile::encodeName(path(glob[1])).constData()), 0);
    const Outcome linked = run({QStringLiteral("--overwrite"), glob[0]});
    EXPECT_EQ(linked.status, 1);
    EXPECT_TRUE(linked.errors.contains(QStringLiteral("输出文件就是输入文件"))) << linked.errors.toStdString();
    EXPECT_EQ(bytesOf(glob[1]), bytesOf(glob[0]));
}

// A name is the bytes the system gives, whatever their encoding, from the folder, the arguments and a list
// alike; a message shows the bytes that are no text escaped, and a name with a newline on one line.
TEST_F(KelvoGray, NamesInAnyEncodingAreKeptAsTheirBytes)
{
    const QByteArray gbk("\xb2\xe2\xca\xd4"); // 测试, as older Chinese systems spell it
    QDir().mkpath(path(QStringLiteral("旧")));
    writeRawNamed("旧/" + gbk + ".jpg", PictureCorpus::jpegOf(PictureCorpus::bandedImage(8, 8)));
    const Outcome folder = run({QStringLiteral("旧"), QStringLiteral("旧/x\n2.jpg")});
    EXPECT_EQ(folder.status, 1);
    EXPECT_TRUE(rawExists("旧/" + gbk + "-黑白.bmp")) << folder.errors.toStdString();
    EXPECT_TRUE(folder.errors.contains(QStringLiteral("kelvo-gray: '旧/x'$'\\n''2.jpg': 加载失败: 文件未找到\n")))
        << folder.errors.toStdString();

    const Outcome listed = run({QStringLiteral("-v"), QStringLiteral("--files-from=-")}, "旧/" + gbk + ".jpg\n");
    EXPECT_TRUE(listed.errors.contains(QStringLiteral("kelvo-gray: '旧/'$'\\262\\342\\312\\324''.jpg': 已跳过")))
        << listed.errors.toStdString();

    QProcess named;
    named.setWorkingDirectory(path(QStringLiteral("旧")));
    named.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("exec \"$0\" --overwrite \"$(printf '\\262\\342\\312\\324.jpg')\""),
                 QStringLiteral(KELVO_GRAY_PROGRAM)});
    ASSERT_TRUE(named.waitForFinished(20000));
    EXPECT_EQ(named.exitCode(), 0) << named.readAllStandardError().toStdString();
}

TEST_F(KelvoGray, UsageErrorsEndWithStatusTwoAndWriteNothing)
{
    writePicture(QStringLiteral("a.jpg"));
    for (const QStringList &arguments :
         {QStringList(), QStringList({QStringLiteral("--bogus"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("-j"), QStringLiteral("0"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("-f"), QStringLiteral("gif"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("--memory=12X"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("--memory=1GK"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("--quality=0"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("--strip=yes"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("--slice=3/3"), QStringLiteral("a.jpg")}),
          QStringList({QStringLiteral("a.jpg"), QStringLiteral("-o")})}) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const Outcome usage = run(arguments);
        EXPECT_EQ(usage.status, 2);
        EXPECT_TRUE(usage.errors.contains(QStringLiteral("kelvo-gray --help")));
    }
    // A list that cannot be read is no empty list: a mistyped one must not mark the work done.
    QDir().mkpath(path(QStringLiteral("文件夹")));
    for (const QString &list : {QStringLiteral("missing.txt"), QStringLiteral("文件夹")}) {
        const Outcome unreadable = run({QStringLiteral("--files-from"), list});
        EXPECT_EQ(unreadable.status, 2) << list.toStdString();
        EXPECT_TRUE(unreadable.errors.contains(QStringLiteral("无法读取列表文件“%1”: ").arg(list)))
            << unreadable.errors.toStdString();
    }
    QProcess closedInput;
    closedInput.setWorkingDirectory(path({}));
    closedInput.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("exec \"$0\" --files-from - <&-"), QStringLiteral(KELVO_GRAY_PROGRAM)});
    ASSERT_TRUE(closedInput.waitForFinished(20000));
    EXPECT_EQ(closedInput.exitCode(), 2) << closedInput.readAllStandardError().toStdString();
    QDir(path(QStringLiteral("文件夹"))).removeRecursively();
    EXPECT_EQ(files(), QStringList(QStringLiteral("a.jpg")));
    EXPECT_EQ(run({QStringLiteral("--help")}).status, 0);

    // A format's name in any case, and JPEG's other name, are the format.
    for (const QString &format : {QStringLiteral("PNG"), QStringLiteral("JPG"), QStringLiteral("jpeg")}) {
        const Outcome named = run({QStringLiteral("-qf"), format, QStringLiteral("a.jpg")});
        EXPECT_EQ(named.status, 0) << named.errors.toStdString();
    }
    EXPECT_EQ(files(),
              QStringList({QStringLiteral("a-黑白.jpg"), QStringLiteral("a-黑白.png"), QStringLiteral("a.jpg")}));
    QFile::remove(path(QStringLiteral("a-黑白.jpg")));
    QFile::remove(path(QStringLiteral("a-黑白.png")));

    // A help nobody could be given, and an output folder that cannot be made, are failures of the run.
    QProcess full;
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    EXPECT_EQ(run(full, {QStringLiteral("--help")}).status, 1);
    const Outcome blocked = run({QStringLiteral("-o"), QStringLiteral("a.jpg/黑白"), QStringLiteral("a.jpg")});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_TRUE(blocked.errors.contains(QStringLiteral("“a.jpg/黑白”: 路径中有一个文件挡住了文件夹")))
        << blocked.errors.toStdString();
    const Outcome tooLong = run({QStringLiteral("-o"), QString(300, QLatin1Char('n')), QStringLiteral("a.jpg")});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_TRUE(tooLong.errors.endsWith(QStringLiteral("”: 文件名太长\n"))) << tooLong.errors.toStdString();
}

// A folder is walked folder by folder, each entered relative to the one above it, so that a tree deeper than
// any path the system takes at once is walked whole, beside its sources and into an output folder alike. What
// is no picture is passed over, and listed with -v: a file of another kind, a stale or looping link. A colour
// photo that is only named as a result is converted; a result whose source stands beside it is not.
TEST_F(KelvoGray, AFolderIsWalkedToAnyDepthAndWhatIsNoPictureIsPassedOver)
{
    const QByteArray level(40, 'd');
    constexpr int Levels = 120; // 120 × 41 bytes: past the 4096 that a path may have
    // The folder `Levels` down from `top`, entered a level at a time (made where `make` is set).
    const auto bottomOf = [&level](const QString &top, bool make) {
        int folder = ::open(QFile::encodeName(top).constData(), O_PATH | O_DIRECTORY);
        for (int depth = 0; depth < Levels && folder >= 0; ++depth) {
            if (make)
                ::mkdirat(folder, level.constData(), 0755);
            const int inner = ::openat(folder, level.constData(), O_PATH | O_DIRECTORY);
            ::close(folder);
            folder = inner;
        }
        return folder;
    };
    const QByteArray picture = PictureCorpus::jpegOf(PictureCorpus::bandedImage(8, 6));
    writeFile(QStringLiteral("deep/top.jpg"), picture);
    const int bottom = bottomOf(path(QStringLiteral("deep")), true);
    ASSERT_GE(bottom, 0);
    const int file = ::openat(bottom, "bottom.jpg", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(file, picture.constData(), size_t(picture.size())), picture.size());
    ::close(file);
    EXPECT_EQ(run({QStringLiteral("-r"), QStringLiteral("deep")}).status, 0);
    const Outcome into =
        run({QStringLiteral("-r"), QStringLiteral("-o"), QStringLiteral("out"), QStringLiteral("deep")});
    EXPECT_TRUE(into.errors.contains(QStringLiteral("转换 2 个, 跳过 2 个, 失败 0 个"))) << into.errors.toStdString();
    struct stat status = {};
    EXPECT_EQ(::fstatat(bottom, "bottom-黑白.bmp", &status, 0), 0);
    ::close(bottom);
    const int outBottom = bottomOf(path(QStringLiteral("out")), false);
    EXPECT_EQ(::fstatat(outBottom, "bottom-黑白.bmp", &status, 0), 0);
    ::close(outBottom);
    // Too deep for the temporary folder's own clearing up.
    QProcess::execute(QStringLiteral("rm"),
                      {QStringLiteral("-rf"), path(QStringLiteral("deep")), path(QStringLiteral("out"))});

    writePicture(QStringLiteral("walk/b.jpg"));
    writePicture(QStringLiteral("walk/夜景-黑白.jpg"));
    writeFile(QStringLiteral("walk/notes.txt"), "not a picture");
    ASSERT_TRUE(QFile::link(QStringLiteral("nowhere.jpg"), path(QStringLiteral("walk/stale.jpg"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("loop.jpg"), path(QStringLiteral("walk/loop.jpg"))));
    const Outcome walked = run({QStringLiteral("-v"), QStringLiteral("walk")});
    EXPECT_EQ(walked.status, 0) << walked.errors.toStdString();
    for (const QString &line : {QStringLiteral("walk/notes.txt: 已跳过: 不是图片\n"),
                                QStringLiteral("walk/stale.jpg: 已跳过: 链接的目标不存在\n"),
                                QStringLiteral("walk/loop.jpg: 已跳过: 链接指向自己, 成环\n")})
        EXPECT_TRUE(walked.errors.contains(line)) << walked.errors.toStdString();
    EXPECT_TRUE(walked.errors.contains(QStringLiteral("转换 2 个, 跳过 3 个"))) << walked.errors.toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("walk/夜景-黑白-黑白.bmp"))));
    const Outcome again = run({QStringLiteral("-v"), QStringLiteral("walk")});
    EXPECT_TRUE(again.errors.contains(QStringLiteral("walk/b-黑白.bmp: 已跳过: 是另一个输入的输出\n")))
        << again.errors.toStdString();
    // Named, a stale link is a file that cannot be had.
    EXPECT_EQ(run({QStringLiteral("walk/stale.jpg")}).status, 1);
}

// Names that meet on the disk the results go to are told apart there as anywhere else: on a FAT stick, which
// ignores case, drops a name's trailing dots and has neither links nor unnamed files, two sources whose results
// differ only so get names of their own, on every run; a name the stick refuses is refused in those words.
TEST_F(KelvoGray, NamesThatMeetOnTheTargetDiskAreToldApart)
{
    QDir().mkpath(path(QStringLiteral("backing")));
    QDir().mkpath(path(QStringLiteral("stick")));
    QProcess fat;
    fat.start(QStringLiteral("/usr/bin/python3"),
              {QStringLiteral(KELVO_FAT_FOLDER), path(QStringLiteral("backing")), path(QStringLiteral("stick"))});
    const QString mounts = QStringLiteral("/proc/self/mounts");
    const auto mounted = [&] {
        QFile table(mounts);
        return table.open(QIODevice::ReadOnly)
               && table.readAll().contains(QFile::encodeName(path(QStringLiteral("stick"))));
    };
    for (int wait = 0; wait < 100 && !mounted() && fat.state() != QProcess::NotRunning; ++wait)
        QThread::msleep(50);
    if (!mounted())
        GTEST_SKIP() << "no FUSE here: " << fat.readAllStandardError().toStdString();
    const auto unmount = qScopeGuard([&] {
        QProcess::execute(QStringLiteral("umount"), {path(QStringLiteral("stick"))});
        fat.waitForFinished(5000);
    });

    for (const QString &name : {QStringLiteral("in/A.jpg"), QStringLiteral("in/a.jpg"), QStringLiteral("x/IMG.jpg"),
                                QStringLiteral("y/img.jpg"), QStringLiteral("tree/2019/p.jpg"),
                                QStringLiteral("tree/2019./p.jpg"), QStringLiteral("odd/a:b.jpg")})
        writePicture(name);
    const QStringList named = {QStringLiteral("in/A.jpg"), QStringLiteral("in/a.jpg"), QStringLiteral("x/IMG.jpg"),
                               QStringLiteral("y/img.jpg")};
    const QStringList intoStick = {QStringLiteral("-o"), QStringLiteral("stick/out")};
    EXPECT_EQ(run(intoStick + named).status, 0);
    EXPECT_EQ(QDir(path(QStringLiteral("backing/out"))).entryList(QDir::Files).size(), 4);
    const Outcome again = run(intoStick + named);
    EXPECT_TRUE(again.errors.contains(QStringLiteral("转换 0 个, 跳过 4 个, 失败 0 个"))) << again.errors.toStdString();
    // One of a pair alone still takes its own name, which its first run wrote.
    EXPECT_TRUE(run(intoStick + QStringList{named[1]}).errors.contains(QStringLiteral("转换 0 个, 跳过 1 个")));
    EXPECT_EQ(run(QStringList{QStringLiteral("--overwrite")} + intoStick + named).status, 0);
    EXPECT_EQ(QDir(path(QStringLiteral("backing/out"))).entryList(QDir::Files).size(), 4);

    EXPECT_EQ(
        run({QStringLiteral("-r"), QStringLiteral("-o"), QStringLiteral("stick/tree"), QStringLiteral("tree")}).status,
        0);
    EXPECT_EQ(QDir(path(QStringLiteral("backing/tree/2019"))).entryList(QDir::Files).size(), 2);

    const Outcome refused = run({QStringLiteral("-o"), QStringLiteral("stick/odd"), QStringLiteral("odd/a:b.jpg")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.errors.contains(QStringLiteral("保存失败: 路径/文件访问错误: 文件系统不接受这个文件名")))
        << refused.errors.toStdString();
}

// Started with its standard streams closed (by cron, say), the command has them open on /dev/null before it
// opens anything: else the first files it opens would take their numbers, and its messages would land in a
// result. Looked at while the run is held at its second result (the failing calls' "hang").
TEST_F(KelvoGray, ClosedStandardStreamsNeverReachAResult)
{
    writePicture(QStringLiteral("a.jpg"));
    writePicture(QStringLiteral("b.jpg"));
    QProcess closed;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KELVO_FAIL"), QStringLiteral("hang"));
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(KELVO_FAILING_CALLS));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    closed.setProcessEnvironment(environment);
    closed.setWorkingDirectory(path({}));
    closed.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QStringLiteral("exec \"$0\" -j 1 a.jpg b.jpg <&- >&- 2>&-"),
                  QStringLiteral(KELVO_GRAY_PROGRAM)});
    ASSERT_TRUE(closed.waitForStarted());
    for (int wait = 0; wait < 500 && files().filter(QStringLiteral("-黑白")).isEmpty(); ++wait)
        QThread::msleep(10);
    ASSERT_EQ(closed.state(), QProcess::Running) << "the run ended: nothing to look at";
    for (int fd = 0; fd <= 2; ++fd)
        EXPECT_EQ(QFile::symLinkTarget(QStringLiteral("/proc/%1/fd/%2").arg(closed.processId()).arg(fd)),
                  QStringLiteral("/dev/null"))
            << fd;
    closed.kill();
    closed.waitForFinished();
}

// An output whose name runs past the system's limit is refused with that reason, not a wrong one.
TEST_F(KelvoGray, ANameTooLongSaysSo)
{
    const QString stem(250, QLatin1Char('n'));
    writePicture(stem + QStringLiteral(".jpg"));
    const Outcome outcome = run({stem + QStringLiteral(".jpg")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains(QStringLiteral(": 保存失败: 文件名太长\n"))) << outcome.errors.toStdString();
}

// A save that the disk does not confirm, or that cannot take its name, is a failure, and leaves nothing
// behind; in a folder that takes no new file, an existing output is refused, never rewritten in place.
TEST_F(KelvoGray, ASaveThatCannotCommitIsAFailureAndLeavesNothing)
{
    writePicture(QStringLiteral("a.jpg"));
    writePicture(QStringLiteral("b.jpg"));
    for (const char *failing : {"fsync", "rename", "unnamed,rename"}) {
        SCOPED_TRACE(failing);
        const Outcome outcome = runFailing(failing, {QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.errors.count(QStringLiteral(": 保存失败: ")), 2) << outcome.errors.toStdString();
        EXPECT_TRUE(outcome.errors.contains(QStringLiteral("失败 2 个")));
        EXPECT_EQ(files(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));

        writeFile(QStringLiteral("a-黑白.bmp"), "earlier");
        EXPECT_EQ(runFailing(failing, {QStringLiteral("--overwrite"), QStringLiteral("a.jpg")}).status, 1);
        EXPECT_EQ(bytesOf(QStringLiteral("a-黑白.bmp")), "earlier");
        QFile::remove(path(QStringLiteral("a-黑白.bmp")));
    }
    writeFile(QStringLiteral("a-黑白.bmp"), "earlier");
    const Outcome inPlace = runFailing("create", {QStringLiteral("--overwrite"), QStringLiteral("a.jpg")});
    EXPECT_EQ(inPlace.status, 1);
    EXPECT_TRUE(inPlace.errors.contains(
        QStringLiteral("a.jpg: 保存失败: 没有权限: 文件夹中不能新建文件, 已有的文件保持原样\n")))
        << inPlace.errors.toStdString();
    EXPECT_EQ(bytesOf(QStringLiteral("a-黑白.bmp")), "earlier");
    // Each refusal in its own words: no file stood there to keep, a disk mounted read-only, a full one.
    for (const auto &[failing, words] : {std::pair{"create", QStringLiteral("没有权限: 文件夹中不能新建文件\n")},
                                         std::pair{"readonly", QStringLiteral("没有权限: 文件系统是只读的\n")},
                                         std::pair{"full", QStringLiteral("磁盘已满\n")}}) {
        const Outcome refused = runFailing(failing, {QStringLiteral("b.jpg")});
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(refused.errors.contains(QStringLiteral("b.jpg: 保存失败: ") + words))
            << refused.errors.toStdString();
    }

    // Where the file system has no unnamed files, a hidden one stands in, and goes.
    EXPECT_EQ(runFailing("unnamed", {QStringLiteral("b.jpg")}).status, 0);
    EXPECT_EQ(files(), QStringList({QStringLiteral("a-黑白.bmp"), QStringLiteral("a.jpg"), QStringLiteral("b-黑白.bmp"),
                                    QStringLiteral("b.jpg")}));
}

// A link at an output's name is an output that exists, dangling or not; --overwrite replaces the link itself,
// never the file it points to.
TEST_F(KelvoGray, ALinkAtTheOutputNameIsNeverWrittenThrough)
{
    writePicture(QStringLiteral("相册/a.jpg"));
    writePicture(QStringLiteral("相册/b.jpg"));
    writeFile(QStringLiteral("precious.txt"), "precious");
    ASSERT_TRUE(QFile::link(QStringLiteral("../precious.txt"), path(QStringLiteral("相册/a-黑白.bmp"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("nowhere"), path(QStringLiteral("相册/b-黑白.bmp"))));
    EXPECT_EQ(run({QStringLiteral("相册")}).status, 0);
    EXPECT_EQ(QFileInfo(path(QStringLiteral("相册/b-黑白.bmp"))).symLinkTarget(), path(QStringLiteral("相册/nowhere")));
    EXPECT_EQ(run({QStringLiteral("--overwrite"), QStringLiteral("相册")}).status, 0);
    EXPECT_EQ(bytesOf(QStringLiteral("precious.txt")), "precious");
    EXPECT_FALSE(QFileInfo(path(QStringLiteral("相册/a-黑白.bmp"))).isSymLink());
    EXPECT_EQ(QImage(path(QStringLiteral("相册/a-黑白.bmp"))).size(), QSize(48, 32));
}

// A run killed outright can leave a hidden file of a fixed pattern where the file system has no unnamed files:
// never an input, and taken away by the next run that writes there, unless a live run still holds it.
TEST_F(KelvoGray, WhatAKilledRunLeavesIsNeverAnInputAndIsTakenAway)
{
    writePicture(QStringLiteral("相册/a.jpg"));
    const QString leftover = QStringLiteral("相册/.kelvo-AbCdEfGh1234.part");
    const QString held = QStringLiteral("相册/.kelvo-HeLd00000000.part");
    writeFile(leftover, PictureCorpus::bmp24Of(PictureCorpus::bandedImage(9, 7)));
    writeFile(held, "in work");
    QFile holder(path(held));
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(holder.handle(), LOCK_EX), 0);

    const Outcome outcome = run({QStringLiteral("相册"), path(leftover)});
    EXPECT_EQ(outcome.status, 0) << outcome.errors.toStdString();
    EXPECT_EQ(files(), QStringList({held, QStringLiteral("相册/a-黑白.bmp"), QStringLiteral("相册/a.jpg")}));
}

// Workers that share a small memory budget take pictures a few at a time; a picture that fails once its share
// is taken gives it back, or those after it would wait for ever.
TEST_F(KelvoGray, AFailedPictureGivesItsMemoryBack)
{
    const QByteArray good = PictureCorpus::jpegOf(PictureCorpus::bandedImage(800, 600));
    // Its headers hold together, so its share is taken; without its quantization tables it cannot be decoded.
    QByteArray broken = good;
    const QList<PictureCorpus::JpegSegment> segments = PictureCorpus::jpegSegments(good);
    for (auto segment = segments.crbegin(); segment != segments.crend(); ++segment) {
        if (segment->code == 0xDB)
            broken.remove(segment->offset, segment->length);
    }
    for (int i = 0; i < 3; ++i)
        writeFile(QStringLiteral("in/%1-broken.jpg").arg(i), broken);
    for (int i = 0; i < 3; ++i)
        writeFile(QStringLiteral("in/%1-good.jpg").arg(i), good);
    const Outcome outcome =
        run({QStringLiteral("--memory=3M"), QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("in")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.errors.contains(QStringLiteral("转换 3 个, 跳过 0 个, 失败 3 个")))
        << outcome.errors.toStdString();
    // A budget below what one picture needs says so, rather than that the machine ran out.
    const Outcome tooSmall = run({QStringLiteral("--memory=1K"), QStringLiteral("-o"), QStringLiteral("small"),
                                  QStringLiteral("in/0-good.jpg")});
    EXPECT_TRUE(tooSmall.errors.contains(QStringLiteral("加载失败: 内存溢出: 图片所需的内存超过 --memory 给的限制")))
        << tooSmall.errors.toStdString();
}

// The default number of files at once is that of the processors this process may run on.
TEST_F(KelvoGray, TheDefaultJobsFollowTheProcessorsAllowed)
{
    writePicture(QStringLiteral("a.jpg"));
    QProcess pinned;
    pinned.setChildProcessModifier([] {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(0, &one);
        ::sched_setaffinity(0, sizeof one, &one);
    });
    const Outcome outcome = run(pinned, {QStringLiteral("-v"), QStringLiteral("a.jpg")});
    EXPECT_TRUE(outcome.errors.contains(QStringLiteral("同时处理 1 个文件"))) << outcome.errors.toStdString();
}

// A JPEG or PNG result keeps its source's metadata, its orientation made 1 as the pixels are turned, without
// the thumbnail; --strip keeps none, and a source whose metadata cannot be read is converted all the same. A
// JPEG result keeps the quality libjpeg saved its source with, a bitmap's gets 90. With --keep-luma, a JPEG
// source's result is its luminance as coded, to the level, its orientation left to the tag.
TEST_F(KelvoGray, AResultKeepsWhatItsSourceHad)
{
    ASSERT_TRUE(PictureCorpus::bandedImage(96, 64).save(path(QStringLiteral("photo.ppm"))));
    for (const QString &quality :
         {QStringLiteral("50"), QStringLiteral("75"), QStringLiteral("90"), QStringLiteral("95")})
        tool(QStringLiteral("cjpeg"),
             {QStringLiteral("-quality"), quality, QStringLiteral("-outfile"),
              QStringLiteral("q") + quality + QStringLiteral(".jpg"), QStringLiteral("photo.ppm")});
    writeFile(QStringLiteral("q.bmp"), PictureCorpus::bmp24Of(PictureCorpus::bandedImage(32, 16)));
    EXPECT_EQ(run({QStringLiteral("-qf"), QStringLiteral("jpg"), QStringLiteral("-o"), QStringLiteral("grey"),
                   QStringLiteral("q50.jpg"), QStringLiteral("q75.jpg"), QStringLiteral("q90.jpg"),
                   QStringLiteral("q95.jpg"), QStringLiteral("q.bmp")})
                  .status,
              0);
    const std::pair<const char *, int> qualities[] = {{"q50", 50}, {"q75", 75}, {"q90", 90}, {"q95", 95}, {"q", 90}};
    for (const auto &[name, quality] : qualities) {
        const QString result = QStringLiteral("grey/%1-黑白.jpg").arg(QLatin1String(name));
        const int estimated =
            tool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%Q"), result}).toInt();
        EXPECT_LE(qAbs(estimated - quality), 1) << result.toStdString() << " at " << estimated;
    }

    ASSERT_TRUE(QImage(48, 24, QImage::Format_RGB32).save(path(QStringLiteral("thumb.jpg"))));
    tool(QStringLiteral("exiftool"),
         {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
          QStringLiteral("-DateTimeOriginal=2023:05:01 10:11:12"), QStringLiteral("-Model=P1"),
          QStringLiteral("-GPSLatitude=31.25"), QStringLiteral("-GPSLatitudeRef=N"), QStringLiteral("-Orientation#=6"),
          QStringLiteral("-XMP:Subject=灯塔"), QStringLiteral("-IPTC:ObjectName=Pier"),
          QStringLiteral("-ThumbnailImage<=thumb.jpg"), QStringLiteral("q75.jpg")});
    ASSERT_TRUE(metadataOf(QStringLiteral("q75.jpg")).starts_with("2023:05:01 10:11:12\nP1\n31.25\n6\n灯塔\n"));
    for (const QString &format : {QStringLiteral("jpg"), QStringLiteral("png")}) {
        EXPECT_EQ(run({QStringLiteral("-f"), format, QStringLiteral("q75.jpg")}).status, 0);
        EXPECT_EQ(metadataOf(QStringLiteral("q75-黑白.") + format),
                  "2023:05:01 10:11:12\nP1\n31.25\n1\n灯塔\n-\nPier\n");
        EXPECT_EQ(run({QStringLiteral("--overwrite"), QStringLiteral("--strip"), QStringLiteral("-f"), format,
                       QStringLiteral("q75.jpg")})
                      .status,
                  0);
        EXPECT_EQ(metadataOf(QStringLiteral("q75-黑白.") + format), "-\n-\n-\n-\n-\n-\n-\n");
    }

    EXPECT_EQ(run({QStringLiteral("--keep-luma"), QStringLiteral("-f"), QStringLiteral("jpg"), QStringLiteral("-o"),
                   QStringLiteral("luma"), QStringLiteral("q75.jpg")})
                  .status,
              0);
    EXPECT_EQ(metadataOf(QStringLiteral("luma/q75-黑白.jpg")), "2023:05:01 10:11:12\nP1\n31.25\n6\n灯塔\n-\nPier\n");
    const QByteArray luminance = tool(
        QStringLiteral("djpeg"), {QStringLiteral("-grayscale"), QStringLiteral("-pnm"), QStringLiteral("q75.jpg")});
    EXPECT_EQ(tool(QStringLiteral("djpeg"), {QStringLiteral("-pnm"), QStringLiteral("luma/q75-黑白.jpg")}), luminance);

    // A PNG of 16 bits a sample keeps its depth, turned as its orientation says like any other.
    QImage deep(5, 3, QImage::Format_RGBX64);
    deep.fill(QColor::fromRgba64(1000, 50000, 65535));
    ASSERT_TRUE(deep.save(path(QStringLiteral("deep.png"))));
    tool(QStringLiteral("exiftool"), {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                                      QStringLiteral("-Orientation#=6"), QStringLiteral("deep.png")});
    EXPECT_EQ(run({QStringLiteral("-f"), QStringLiteral("png"), QStringLiteral("deep.png")}).status, 0);
    const QImage deepGrey(path(QStringLiteral("deep-黑白.png")));
    EXPECT_EQ(deepGrey.format(), QImage::Format_Grayscale16);
    EXPECT_EQ(deepGrey.size(), QSize(3, 5));
    EXPECT_EQ(metadataOf(QStringLiteral("deep-黑白.png")), "-\n-\n-\n1\n-\n-\n-\n");
    EXPECT_EQ(reinterpret_cast<const quint16 *>(deepGrey.constScanLine(4))[2],
              (9798 * 1000 + 19235 * 50000 + 3735 * 65535) >> 15);

    // An EXIF block whose first directory lies past its end.
    QByteArray broken = bytesOf(QStringLiteral("q50.jpg"));
    const QByteArray exif("Exif\0\0II*\0\xff\xff\xff\x7f\0\0\0\0", 18);
    broken.insert(2, QByteArray("\xff\xe1\0", 3) + char(exif.size() + 2) + exif);
    writeFile(QStringLiteral("broken.jpg"), broken);
    const Outcome unreadable =
        run({QStringLiteral("-v"), QStringLiteral("-f"), QStringLiteral("png"), QStringLiteral("broken.jpg")});
    EXPECT_EQ(unreadable.status, 0);
    EXPECT_TRUE(unreadable.errors.contains(QStringLiteral("broken.jpg: 读不出元数据")))
        << unreadable.errors.toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("broken-黑白.png"))));
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
    const QString summary = QString::fromUtf8(command.readAllStandardError());
    EXPECT_TRUE(summary.contains(QStringLiteral("已中断: 转换 %1 个").arg(results.size()))) << summary.toStdString();
    for (const QString &result : results)
        EXPECT_EQ(QImage(path(result)).size(), QSize(700, 500)) << result.toStdString();
}

// Samples of every format the command reads, made by the formats' own encoders, and what an independent
// decoder makes of each (Pillow; ImageMagick for 16-bit samples, which Pillow cuts to their high byte; libtiff's
// tiff2rgba for CMYK; libheif's converter for HEIF and AVIF), turned by the picture's orientation and taken
// through the grey rule: over white in a bitmap, beside its alpha in a PNG.
const char *const FormatSamples = R"(
import subprocess, sys
from PIL import Image, ImageOps

W, H = 37, 23
TURNS = {2: Image.Transpose.FLIP_LEFT_RIGHT, 3: Image.Transpose.ROTATE_180, 4: Image.Transpose.FLIP_TOP_BOTTOM,
         5: Image.Transpose.TRANSPOSE, 6: Image.Transpose.ROTATE_270, 7: Image.Transpose.TRANSVERSE,
         8: Image.Transpose.ROTATE_90}

def run(*command):
    return subprocess.run(command, check=True, capture_output=True).stdout

def colours():
    image = Image.new('RGB', (W, H))
    image.putdata([((x * 7) % 256, (y * 11) % 256, ((x + y) * 5) % 256) for y in range(H) for x in range(W)])
    return image

def make():
    image, turned = colours(), Image.Exif()
    turned[274] = 6
    faded = image.convert('RGBA')
    faded.putalpha(Image.frombytes('L', (W, H), bytes((x * 13 + y * 3) % 256 for y in range(H) for x in range(W))))
    image.save('png-interlaced.png', interlace=1)
    image.convert('P', palette=Image.Palette.ADAPTIVE, colors=64).save('png-palette.png')
    image.convert('L').save('png-grey.png')
    faded.save('png-alpha.png')
    image.save('png-turned.png', exif=turned)
    run('convert', 'png-interlaced.png', '-depth', '16', '-evaluate', 'add', '37', 'png-16.png')
    image.save('tiff-8.tif')
    image.convert('P', palette=Image.Palette.ADAPTIVE, colors=64).save('tiff-palette.tif')
    run('convert', 'png-interlaced.png', '-depth', '16', '-evaluate', 'add', '37', '-compress', 'zip', 'tiff-16.tif')
    run('convert', 'png-interlaced.png', '-depth', '16', '-evaluate', 'add', '37', '-interlace', 'plane', '-define',
        'tiff:tile-geometry=16x16', 'tiff-16-turned.tif')
    run('tiffset', '-s', '274', '6', 'tiff-16-turned.tif')
    run('convert', 'png-interlaced.png', '-depth', '16', '-evaluate', 'add', '37', '-colorspace', 'Gray', '-define',
        'tiff:endian=msb', '-define', 'quantum:polarity=min-is-white', '-compress', 'lzw', 'tiff-16-grey.tif')
    run('convert', 'png-interlaced.png', '-colorspace', 'CMYK', 'tiff-cmyk.tif')
    run('tiffcp', '-t', '-w', '16', '-l', '16', '-c', 'lzw', 'tiff-8.tif', 'tiff-tiled.tif')
    run('tiffcp', '-c', 'lzw', 'tiff-8.tif', 'tiff-turned.tif')
    run('tiffset', '-s', '274', '6', 'tiff-turned.tif')
    run('cwebp', '-q', '80', 'png-interlaced.png', '-o', 'webp-lossy.webp')
    run('cwebp', '-lossless', 'png-alpha.png', '-o', 'webp-alpha.webp')
    image.save('webp-turned.webp', lossless=True, exif=turned)
    image.save('webp-animated.webp', save_all=True, lossless=True,
               append_images=[image.transpose(Image.Transpose.FLIP_LEFT_RIGHT)])
    image.convert('P', palette=Image.Palette.ADAPTIVE, colors=64).save(
        'gif-animated.gif', save_all=True, append_images=[image.transpose(Image.Transpose.FLIP_LEFT_RIGHT)])
    image.convert('P', palette=Image.Palette.ADAPTIVE, colors=16).save('gif-transparent.gif', transparency=3)
    run('heif-enc', '-q', '90', 'png-interlaced.png', '-o', 'heic.heic')
    run('heif-enc', '-A', '-q', '90', 'png-interlaced.png', '-o', 'avif.avif')

# ImageMagick's size of the source and its 16-bit samples, `channels` a pixel, both turned as the source says.
def magick(source, channels):
    size = run('convert', source, '-auto-orient', '-format', '%w %h', 'info:').split()
    raw = run('convert', source, '-auto-orient', '-depth', '16', '-endian', 'LSB', channels + ':-')
    return tuple(map(int, size)), [int.from_bytes(raw[i:i + 2], 'little') for i in range(0, len(raw), 2)]

def eight(sample):
    return (sample * 255 + 32767) // 65535

def decoded(source):
    if source.endswith(('.heic', '.avif')):
        run('heif-convert', source, 'decoded.png')
        return Image.open('decoded.png').convert('RGBA')
    if 'cmyk' in source:
        run('tiff2rgba', source, 'decoded.tif')
        return Image.open('decoded.tif').convert('RGBA')
    if '-16' in source:
        size, samples = magick(source, 'RGBA')
        levels = [eight(sample) for sample in samples]
        image = Image.new('RGBA', size)
        image.putdata([tuple(levels[i:i + 4]) for i in range(0, len(levels), 4)])
        return image
    image = Image.open(source)
    image.load()
    turn = image.getexif().get(274, 1)
    # Pillow turns a TIFF itself, but only where libtiff decodes it, and leaves the tag.
    if source.endswith('.tif') and image.size != (image.tag_v2[256], image.tag_v2[257]):
        turn = 1
    image = image.convert('RGBA')
    return image.transpose(TURNS[turn]) if turn in TURNS else image

def grey(red, green, blue):
    return (9798 * red + 19235 * green + 3735 * blue) >> 15

def deep(source):
    samples = magick(source, 'RGB')[1]
    return [grey(*samples[i:i + 3]) for i in range(0, len(samples), 3)]

def check(source, result):
    expected, got = decoded(source), Image.open(result)
    if expected.size != got.size:
        return f'{result}: {got.size} instead of {expected.size}'
    if got.mode in ('I', 'I;16'):  # a 16-bit grey PNG: the rule on the 16-bit samples
        wrong = sum(level != wanted for level, wanted in zip(got.getdata(), deep(source)))
        return f'{result}: {wrong} pixels differ' if wrong else ''
    alpha = got.mode == 'LA'
    shown = list(got.getdata()) if alpha else [(level, 255) for level in got.convert('L').getdata()]
    wrong = 0
    for (red, green, blue, opacity), pixel in zip(expected.getdata(), shown):
        level = grey(red, green, blue)
        wanted = (level, opacity) if alpha else ((level * opacity + 255 * (255 - opacity) + 127) // 255, 255)
        wrong += pixel != wanted
    return f'{result}: {wrong} pixels differ' if wrong else ''

if sys.argv[1] == 'make':
    make()
else:
    print('\n'.join(filter(None, (check(source, result) for source, result in zip(sys.argv[2::2], sys.argv[3::2])))))
)";

// Every format of a folder is read, each by its own library, and every pixel of the result is the grey rule
// on what an independent decoder makes of the source, turned as the source says: over white in a bitmap,
// beside its alpha in a PNG.
TEST_F(KelvoGray, EveryFormatGivesTheGreyOfWhatItsOwnDecoderReads)
{
    writeFile(QStringLiteral("samples.py"), FormatSamples);
    QProcess python;
    python.setWorkingDirectory(path(QStringLiteral(".")));
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("samples.py"), QStringLiteral("make")});
    ASSERT_TRUE(python.waitForFinished(60000) && python.exitCode() == 0) << python.readAllStandardError().toStdString();
    QStringList sources = QDir(path(QStringLiteral("."))).entryList(QDir::Files);
    sources.removeAll(QStringLiteral("samples.py"));
    ASSERT_EQ(sources.size(), 22);

    QStringList pairs;
    for (const QString &format : {QStringLiteral("bmp"), QStringLiteral("png")}) {
        const Outcome outcome = run({QStringLiteral("-f"), format, QStringLiteral("-o"), format, QStringLiteral(".")});
        EXPECT_EQ(outcome.status, 0) << outcome.errors.toStdString();
        // samples.py is no picture: passed over, and counted.
        EXPECT_TRUE(outcome.errors.contains(QStringLiteral("转换 22 个, 跳过 1 个, 失败 0 个")))
            << outcome.errors.toStdString();
        for (const QString &source : sources)
            pairs << source << format + QLatin1Char('/') + QFileInfo(source).completeBaseName() + "-黑白." + format;
    }
    // A source of 16-bit samples keeps them in a PNG result, which is then held to the rule on 16-bit samples.
    for (const QString &source : sources) {
        if (!source.contains(QLatin1String("-16")))
            continue;
        EXPECT_EQ(QImage(path("png/" + QFileInfo(source).completeBaseName() + "-黑白.png")).format(),
                  QImage::Format_Grayscale16)
            << source.toStdString();
    }
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral("samples.py"), QStringLiteral("check")} + pairs);
    ASSERT_TRUE(python.waitForFinished(120000) && python.exitCode() == 0)
        << python.readAllStandardError().toStdString();
    EXPECT_EQ(python.readAllStandardOutput().trimmed(), QByteArray());
}

} // namespace
