#include "ChildProcess.h"
#include "HostileTestSupport.h"
#include "PictureCorpus.h"

#include "picture/StatusTexts.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>

#include <sys/stat.h>

namespace {

// What the skin library may change: nothing of it may move when the skin file is bad.
struct Look
{
    QPalette palette;
    QString styleSheet;
    QString style;
    static Look now() { return {QApplication::palette(), qApp->styleSheet(), QApplication::style()->name()}; }
    bool operator==(const Look &other) const
    {
        return palette == other.palette && styleSheet == other.styleSheet && style == other.style;
    }
};

// A program folder of its own: the real skin library beside a skin file made bad on purpose.
class BadSkinAtStart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QFile skin(programDir() + QStringLiteral("/skinh.she"));
        ASSERT_TRUE(skin.open(QIODevice::ReadOnly));
        m_goodSkin = skin.readAll();
    }
    void TearDown() override
    {
        CommonDialog::setScript({});
        App::setPathForTesting(programDir());
    }

    QString makeProgramFolder(const QString &name)
    {
        const QString folder = m_dir.filePath(name);
        QDir().mkpath(folder);
        QFile::link(programDir() + QStringLiteral("/libSkinH_VB6.so"), folder + QStringLiteral("/libSkinH_VB6.so"));
        return folder;
    }

    // Starts the window from `folder` and tells what went wrong. A forked child must not paint: Qt paints
    // with pooled threads, which do not survive the fork.
    QByteArray startProblems(const QString &folder, bool show = true)
    {
        App::setPathForTesting(folder);
        const Look before = Look::now();
        Form1 form;
        form.Form_Load();
        QByteArray problems;
        if (show) {
            form.show();
            QCoreApplication::processEvents();
            if (!form.isVisible())
                problems += " no window";
        }
        if (!(Look::now() == before))
            problems += " the look changed";
        // The program works as ever: a picture opens.
        const QString picture = m_dir.filePath(QStringLiteral("picture.bmp"));
        writeFile(picture, PictureCorpus::bmp24Of(PictureCorpus::bandedImage(8, 8)));
        CommonDialog::setScript(
            [picture](const CommonDialog::Request &) { return CommonDialog::Answer::choose(picture); });
        form.Command2.click();
        if (form.St1.Panels(2).Text() != StatusText::Loaded)
            problems += " a picture would not open";
        return problems;
    }

    QTemporaryDir m_dir;
    QByteArray m_goodSkin;
};

TEST_F(BadSkinAtStart, TheProgramStartsAndLooksAsBefore)
{
    const qsizetype colour = m_goodSkin.indexOf('#', m_goodSkin.indexOf('='));
    ASSERT_GT(colour, 0);
    const struct
    {
        const char *what;
        QByteArray bytes;
    } files[] = {
        {"empty", {}},
        {"binary", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20)},
        {"truncated in the header", m_goodSkin.left(5)},
        {"truncated inside a colour", m_goodSkin.left(colour + 4)},
        {"truncated after half the keys", m_goodSkin.left(m_goodSkin.size() / 2)},
        {"unknown version", QByteArray(m_goodSkin).replace("kelvo-skin 1", "kelvo-skin 7")},
        {"bad colour", QByteArray(m_goodSkin).replace(colour, 7, "#12345g")},
        {"colour without its hash", QByteArray(m_goodSkin).replace(colour, 1, " ")},
        {"no header", m_goodSkin.mid(m_goodSkin.indexOf('\n') + 1)},
        {"invalid UTF-8", QByteArray(m_goodSkin).append("# \xC3\x28\n")},
    };
    int folderNumber = 0;
    for (const auto &file : files) {
        const QString folder = makeProgramFolder(QString::number(++folderNumber));
        writeFile(folder + QStringLiteral("/skinh.she"), file.bytes);
        const QByteArray problems = startProblems(folder);
        EXPECT_TRUE(problems.isEmpty()) << file.what << ':' << problems.constData();
    }

    const QString missing = makeProgramFolder(QStringLiteral("missing"));
    EXPECT_EQ(startProblems(missing), QByteArray()) << "missing";

    const QString huge = makeProgramFolder(QStringLiteral("huge"));
    QFile hugeFile(huge + QStringLiteral("/skinh.she"));
    ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly) && hugeFile.write(m_goodSkin)
                && hugeFile.resize(512 * 1024 * 1024));
    hugeFile.close();
    EXPECT_EQ(startProblems(huge), QByteArray()) << "huge";

    const QString folderNamed = makeProgramFolder(QStringLiteral("folder"));
    QDir().mkpath(folderNamed + QStringLiteral("/skinh.she"));
    EXPECT_EQ(startProblems(folderNamed), QByteArray()) << "a folder named like the skin";
}

TEST_F(BadSkinAtStart, ASkinThatIsAPipeDoesNotHoldTheStart)
{
    const QString folder = makeProgramFolder(QStringLiteral("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(folder + QStringLiteral("/skinh.she")).constData(), 0600), 0);
    ChildLimits limits;
    limits.timeoutSeconds = 30;
    const ChildResult result = runInChild([&] { return startProblems(folder, false); }, limits);
    ASSERT_TRUE(result.finished) << (result.timedOut ? "blocked" : "crashed");
    EXPECT_TRUE(result.report.isEmpty()) << result.report.constData();
}

TEST_F(BadSkinAtStart, AnUnreadableSkinIsPassedOver)
{
    const QString folder = makeProgramFolder(QStringLiteral("locked"));
    const QString skin = writeFile(folder + QStringLiteral("/skinh.she"), m_goodSkin);
    ASSERT_TRUE(QFile::setPermissions(skin, {}));
    // As root the child becomes "nobody", for whom permission bits count; the folders must let it through.
    ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    ChildLimits limits;
    limits.asNobody = runningAsRoot();
    const ChildResult result = runInChild([&] { return startProblems(folder, false); }, limits);
    if (result.limitsRefused)
        GTEST_SKIP() << "running as root and cannot become nobody here";
    ASSERT_TRUE(result.finished) << "signal " << result.signal << ", exit " << result.exitCode;
    EXPECT_TRUE(result.report.isEmpty()) << result.report.constData();
}

} // namespace
