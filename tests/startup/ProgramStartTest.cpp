#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

// The built program, started as a person starts it. On Qt's offscreen platform its error box would wait for
// ever for an answer no one can give, so it runs on an X server of the test's own (Xvfb), where the test can
// see which windows come up and press the box's button.
namespace {

const QString ProgramFile = QStringLiteral(KELVO_TEST_PROGRAM);
const QString SkinLibrary = QStringLiteral(KELVO_TEST_SKIN_LIBRARY);
const QString SkinFile = QStringLiteral(KELVO_TEST_SKIN_FILE);
const QString Caption = QStringLiteral("Kelvo.图片去色黑白工具");

constexpr int StartTimeoutMs = 30000;

// A picture of one colour, and how many of its pixels show that it fills the preview rather than sitting in a
// corner at its own size.
const QSize PictureSize(64, 48);
const QRgb PictureColour = qRgb(0x20, 0xB0, 0x60);
constexpr qsizetype PreviewPixels = 10000;

qsizetype pixelsOf(const QImage &image, QRgb colour)
{
    qsizetype count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour ? 1 : 0;
    return count;
}

struct Window
{
    QString id;
    QString name;
};

class ProgramStartTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        for (const char *tool : {"Xvfb", "xdotool", "xprop", "xwd"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
                s_missing = QStringLiteral("%1 is not installed (scripts/test installs it)").arg(QLatin1String(tool));
                return;
            }
        }
        s_server = std::make_unique<QProcess>();
        // -displayfd picks a free display and writes its number to the given descriptor, here standard output.
        // -noreset: by default the server resets when its last client leaves, and a program that connects
        // meanwhile is turned away; a test that starts the program more than once would see it fail to start.
        s_server->start(QStringLiteral("Xvfb"),
                        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp"), QStringLiteral("-noreset"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1280x1024x24")});
        const QDeadlineTimer deadline(20000);
        QByteArray out;
        while (!out.contains('\n') && !deadline.hasExpired() && s_server->state() != QProcess::NotRunning) {
            s_server->waitForReadyRead(200);
            out += s_server->readAllStandardOutput();
        }
        bool ok = false;
        const int number = out.trimmed().toInt(&ok);
        if (!ok) {
            s_missing =
                QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(s_server->readAllStandardError());
            TearDownTestSuite();
            return;
        }
        s_display = QStringLiteral(":%1").arg(number);
    }

    static void TearDownTestSuite()
    {
        if (s_server) {
            s_server->terminate();
            if (!s_server->waitForFinished(5000))
                s_server->kill();
            s_server.reset();
        }
    }

    void SetUp() override
    {
        if (!s_missing.isEmpty())
            GTEST_SKIP() << qPrintable(s_missing);
        ASSERT_TRUE(folder.isValid());
    }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }

    // A program folder with the program and the given files from the built one.
    void provide(bool withLibrary, bool withSkinFile)
    {
        QList<QString> files = {ProgramFile};
        if (withLibrary)
            files << SkinLibrary;
        if (withSkinFile)
            files << SkinFile;
        for (const QString &file : files)
            ASSERT_TRUE(QFile::copy(file, folder.filePath(QFileInfo(file).fileName()))) << qPrintable(file);
        QFile::setPermissions(folder.filePath(QFileInfo(ProgramFile).fileName()),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void startProgram(const QStringList &arguments = {},
                      QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel)
    {
        start(folder.filePath(QFileInfo(ProgramFile).fileName()), arguments, channels);
    }

    // Starts the program with the one file in the folder's "pictures" folder, its name in the bytes it has on
    // disk, as a file manager passes it: the shell hands them on as they are, where QProcess would encode a name.
    void startProgramOnThePicture()
    {
        start(QStringLiteral("/bin/sh"),
              {QStringLiteral("-c"), QStringLiteral("exec \"$0\" pictures/*"),
               folder.filePath(QFileInfo(ProgramFile).fileName())},
              QProcess::ForwardedErrorChannel);
    }

    void start(const QString &executable, const QStringList &arguments, QProcess::ProcessChannelMode channels)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), s_display);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("LD_LIBRARY_PATH"));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(folder.path());
        program.setProcessChannelMode(channels);
        program.start(executable, arguments);
        ASSERT_TRUE(program.waitForStarted(10000));
    }

    static QByteArray xOutput(const QStringList &arguments)
    {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), s_display);
        tool.setProcessEnvironment(environment);
        tool.start(arguments.first(), arguments.mid(1));
        tool.waitForFinished(10000);
        return tool.readAllStandardOutput();
    }

    static QString x(const QStringList &arguments) { return QString::fromUtf8(xOutput(arguments)).trimmed(); }

    // What the window shows, from an xwd dump on the test's 24-bit screen: a header of big-endian 32-bit
    // fields and the window's name, a colour map of 12-byte entries, then the rows of 32-bit pixels.
    static QImage windowContents(const QString &id)
    {
        const QByteArray dump = xOutput({QStringLiteral("xwd"), QStringLiteral("-silent"), QStringLiteral("-id"), id});
        const auto field = [&dump](int index) {
            return dump.size() < 4 * (index + 1) ? 0 : qint64(qFromBigEndian<quint32>(dump.constData() + 4 * index));
        };
        // The header fields read, by their place.
        enum {
            HeaderSize = 0,
            Width = 4,
            Height = 5,
            ByteOrder = 7,
            BitsPerPixel = 11,
            BytesPerLine = 12,
            Colours = 19
        };
        const qint64 pixels = field(HeaderSize) + 12 * field(Colours);
        const qint64 width = field(Width), height = field(Height), bytesPerLine = field(BytesPerLine);
        const qint64 leastSignificantByteFirst = 0;
        if (field(BitsPerPixel) != 32 || field(ByteOrder) != leastSignificantByteFirst || width == 0
            || 4 * width > bytesPerLine || pixels + height * bytesPerLine > dump.size())
            return {};
        return QImage(reinterpret_cast<const uchar *>(dump.constData() + pixels), int(width), int(height),
                      qsizetype(bytesPerLine), QImage::Format_RGB32)
            .copy();
    }

    // What the window shows once the picture of one colour fills its preview and the window has settled;
    // empty when that did not come in time.
    QImage waitForPictureShown(QRgb colour)
    {
        const QList<Window> windows = waitForWindows(hasCaption);
        const auto main =
            std::find_if(windows.begin(), windows.end(), [](const Window &w) { return w.name == Caption; });
        if (main == windows.end())
            return {};
        const QDeadlineTimer deadline(StartTimeoutMs);
        QImage previous;
        while (!deadline.hasExpired()) {
            const QImage shown = windowContents(main->id);
            if (shown == previous && pixelsOf(shown, colour) > PreviewPixels)
                return shown;
            previous = shown;
            QThread::msleep(200);
        }
        return {};
    }

    static QList<Window> visibleWindows()
    {
        QList<Window> windows;
        const QString ids = x({QStringLiteral("xdotool"), QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                               QStringLiteral("--name"), QStringLiteral(".")});
        for (const QString &id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            windows.append({id, x({QStringLiteral("xdotool"), QStringLiteral("getwindowname"), id})});
        return windows;
    }

    // Waits until the program has a visible window that `wanted` accepts; empty when the program ended first or
    // the time ran out.
    QList<Window> waitForWindows(const std::function<bool(const QList<Window> &)> &wanted)
    {
        const QDeadlineTimer deadline(StartTimeoutMs);
        while (!deadline.hasExpired() && program.state() == QProcess::Running) {
            const QList<Window> windows = visibleWindows();
            if (!windows.isEmpty() && wanted(windows))
                return windows;
            QThread::msleep(100);
        }
        return {};
    }

    static bool hasCaption(const QList<Window> &windows)
    {
        return std::any_of(windows.begin(), windows.end(), [](const Window &w) { return w.name == Caption; });
    }

    void expectFixedSizeWindowShown()
    {
        const QList<Window> windows = waitForWindows(hasCaption);
        ASSERT_TRUE(hasCaption(windows)) << "the window did not come up";
        const auto main =
            std::find_if(windows.begin(), windows.end(), [](const Window &w) { return w.name == Caption; });
        const QString hints =
            x({QStringLiteral("xprop"), QStringLiteral("-id"), main->id, QStringLiteral("WM_NORMAL_HINTS")});
        const QRegularExpression minimum(QStringLiteral("minimum size: (\\d+) by (\\d+)"));
        const QRegularExpression maximum(QStringLiteral("maximum size: (\\d+) by (\\d+)"));
        const QRegularExpressionMatch min = minimum.match(hints);
        const QRegularExpressionMatch max = maximum.match(hints);
        ASSERT_TRUE(min.hasMatch() && max.hasMatch()) << qPrintable(hints);
        EXPECT_EQ(min.captured(1), max.captured(1)) << "the border can still be dragged";
        EXPECT_EQ(min.captured(2), max.captured(2)) << "the border can still be dragged";
    }

    QTemporaryDir folder;
    QProcess program;

    static inline std::unique_ptr<QProcess> s_server;
    static inline QString s_display;
    static inline QString s_missing;
};

TEST_F(ProgramStartTest, ShowsItsFixedSizeWindow)
{
    provide(true, true);
    startProgram();
    expectFixedSizeWindowShown();
}

TEST_F(ProgramStartTest, WithoutTheSkinFileStillShowsItsWindow)
{
    provide(true, false);
    startProgram();
    expectFixedSizeWindowShown();
}

TEST_F(ProgramStartTest, WithoutTheSkinLibraryReportsAndEndsBeforeTheWindowShows)
{
    provide(false, true);
    startProgram();
    const QList<Window> shown = waitForWindows([](const QList<Window> &) { return true; });
    ASSERT_EQ(shown.size(), 1) << "expected the error box alone";
    EXPECT_NE(shown[0].name, Caption);

    // The box waits for its answer; the window must not have come up behind it.
    QThread::msleep(500);
    EXPECT_FALSE(hasCaption(visibleWindows()));
    x({QStringLiteral("xdotool"), QStringLiteral("windowfocus"), QStringLiteral("--sync"), shown[0].id});
    x({QStringLiteral("xdotool"), QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("Return")});

    ASSERT_TRUE(program.waitForFinished(StartTimeoutMs)) << "the program went on after the error box";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(program.exitCode(), 0);
}

// Opening the picture named at start is the end-to-end test's; here, what comes before the window.
TEST_F(ProgramStartTest, ASecondFileOrAnUnknownOptionIsRefusedBeforeAnyWindow)
{
    provide(true, true);
    const QList<QStringList> refused = {{QStringLiteral("a.jpg"), QStringLiteral("b.jpg")},
                                        {QStringLiteral("--zoom"), QStringLiteral("a.jpg")}};
    for (const QStringList &arguments : refused) {
        startProgram(arguments, QProcess::SeparateChannels);
        ASSERT_TRUE(program.waitForFinished(StartTimeoutMs)) << qPrintable(arguments.join(u' '));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 2) << qPrintable(arguments.join(u' '));
        EXPECT_TRUE(
            QString::fromUtf8(program.readAllStandardError()).contains(QStringLiteral("用法: kelvo [图片文件]")));
    }

    // The toolkit's own options are its, and after "--" a name that begins with "-" is a file.
    startProgram({QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("--"), QStringLiteral("-a.jpg")});
    EXPECT_TRUE(hasCaption(waitForWindows(hasCaption))) << "the window did not come up";
}

// A name that is no UTF-8 (GBK, as archives made on older Chinese systems unpack) reaches the program as bytes
// that no decoding keeps; the picture opens all the same, the window as it is for the same file under a UTF-8
// name: the picture in the preview, the success text on the status line.
TEST_F(ProgramStartTest, APictureWhoseNameIsNoUtf8OpensAsUnderAUtf8Name)
{
    provide(true, true);
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("pictures")));
    QImage picture(PictureSize, QImage::Format_RGB32);
    picture.fill(PictureColour);
    const QString utf8Name = folder.filePath(QStringLiteral("pictures/中文照片.bmp"));
    ASSERT_TRUE(picture.save(utf8Name));
    startProgramOnThePicture();
    const QImage shown = waitForPictureShown(PictureColour);
    ASSERT_FALSE(shown.isNull()) << "the picture under its UTF-8 name did not show";
    program.kill();
    program.waitForFinished(5000);

    const QByteArray gbkName = QFile::encodeName(folder.filePath(QStringLiteral("pictures/")))
                               + QByteArrayLiteral("\xD6\xD0\xCE\xC4\xD5\xD5\xC6\xAC.bmp");
    ASSERT_EQ(std::rename(QFile::encodeName(utf8Name).constData(), gbkName.constData()), 0);
    startProgramOnThePicture();
    EXPECT_TRUE(waitForPictureShown(PictureColour) == shown) << "the window differs from the one for the UTF-8 name";
}

} // namespace
