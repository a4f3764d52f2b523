#include "app/Form1.h"
#include "controls/App.h"
#include "controls/CommonDialog.h"
#include "controls/EventProcedure.h"
#include "controls/MessageBox.h"
#include "controls/WindowStyle.h"
#include "errors/RuntimeError.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString SkinLibrary = QStringLiteral(KELVO_TEST_SKIN_LIBRARY);
const QString SkinFile = QStringLiteral(KELVO_TEST_SKIN_FILE);
const QString RecordingLibrary = QStringLiteral(KELVO_TEST_RECORDING_SKIN);
const QString LibraryWithoutEntry = QStringLiteral(KELVO_TEST_SKIN_WITHOUT_ENTRY);
const QString LibraryFileName = QStringLiteral("libSkinH_VB6.so");

const QString PictureFilter = QStringLiteral("图片文件(*.jpg)|*.jpg|图片文件(*.bmp)|*.bmp");

int formLoadError(Form1 &form)
{
    try {
        form.Form_Load();
    } catch (const RuntimeError &error) {
        return error.number();
    }
    return 0;
}

// Form_Load binds the skin library at its first call and keeps it for the life of the process, so every case
// that depends on which library is found runs in a fresh process of its own. Such a process runs the test
// from its start, so it prepares its own program folder.
class FormLoadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        ASSERT_TRUE(folder.isValid());
        qApp->setStyleSheet({});
    }

    void TearDown() override
    {
        App::setPathForTesting({});
        setMessageBoxScript({});
        CommonDialog::setScript({});
    }

    // A program folder inside the temporary folder; it holds copies of `files` under the given names.
    QString programFolder(const QString &name, const QList<std::pair<QString, QString>> &files = {}) const
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(QDir().mkpath(path));
        for (const auto &[source, target] : files)
            EXPECT_TRUE(QFile::copy(source, QDir(path).filePath(target))) << qPrintable(source);
        return path;
    }

    // The calls the recording stand-in received: skin path and key, in turn.
    QList<QByteArray> recordedCalls() const
    {
        QFile record(recordFile());
        if (!record.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = record.readAll().split('\n');
        lines.removeLast(); // after the last line break
        return lines;
    }

    QString recordFile() const { return folder.filePath(QStringLiteral("calls.txt")); }

    void recordCalls() const { qputenv("KELVO_TEST_SKIN_RECORD", QFile::encodeName(recordFile())); }

    // What failed in a fresh process, told where the test that started it shows it.
    static void reportFailures()
    {
        const ::testing::TestResult *result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
        for (int i = 0; i < result->total_part_count(); ++i) {
            const ::testing::TestPartResult &part = result->GetTestPartResult(i);
            if (part.failed())
                std::fprintf(stderr, "%s:%d: %s\n", part.file_name() ? part.file_name() : "?", part.line_number(),
                             part.message());
        }
        std::fflush(stderr);
    }

    // Runs `check` in a fresh process; a failure there fails this test.
    void inFreshProcess(const std::function<void()> &check)
    {
        EXPECT_EXIT(
            {
                check();
                const bool failed = ::testing::Test::HasFailure();
                reportFailures();
                folder.remove();
                std::_Exit(failed ? 1 : 0);
            },
            ::testing::ExitedWithCode(0), "");
    }

    QTemporaryDir folder;
};

TEST_F(FormLoadTest, SkinFromTheProgramFolderIsApplied)
{
    const QString path =
        programFolder(QStringLiteral("bin"), {{SkinLibrary, LibraryFileName}, {SkinFile, QStringLiteral("skinh.she")}});
    inFreshProcess([&] {
        App::setPathForTesting(path);
        Form1 form;
        EXPECT_EQ(formLoadError(form), 0);
        EXPECT_FALSE(qApp->styleSheet().isEmpty()) << "the skin's look was not applied";
    });
}

TEST_F(FormLoadTest, MissingSkinFileIsIgnored)
{
    const QString path = programFolder(QStringLiteral("bin"), {{SkinLibrary, LibraryFileName}});
    inFreshProcess([&] {
        App::setPathForTesting(path);
        Form1 form;
        EXPECT_EQ(formLoadError(form), 0);
        EXPECT_TRUE(qApp->styleSheet().isEmpty());
        // The rest of the load went on.
        EXPECT_EQ(GetWindowLongA(&form, GWL_STYLE) & WS_THICKFRAME, 0);
        EXPECT_EQ(form.CommonDialog2.Filter(), PictureFilter);
        EXPECT_EQ(form.Picture1.ScaleMode(), PictureBox::vbPixels);
        EXPECT_TRUE(form.Picture1.AutoRedraw());
    });
}

TEST_F(FormLoadTest, MissingLibraryIsError48AndEndsTheLoad)
{
    const QString path = programFolder(QStringLiteral("bin"), {{SkinFile, QStringLiteral("skinh.she")}});
    inFreshProcess([&] {
        App::setPathForTesting(path);
        Form1 form;
        const qint32 style = GetWindowLongA(&form, GWL_STYLE);
        EXPECT_EQ(formLoadError(form), ErrorNumber::LibraryNotFound);
        // Nothing after the failed call ran.
        EXPECT_EQ(GetWindowLongA(&form, GWL_STYLE), style);
        EXPECT_EQ(form.Picture1.ScaleMode(), PictureBox::vbTwips);

        // Start-up reports it the toolkit's way, and the window is never shown.
        QList<MessageBoxRequest> boxes;
        setMessageBoxScript([&](const MessageBoxRequest &box) {
            boxes << box;
            return MsgBoxResult::vbOK;
        });
        EXPECT_FALSE(runEventProcedure([&] { form.Form_Load(); }));
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_TRUE(boxes[0].prompt.startsWith(QStringLiteral("实时错误 '48':"))) << qPrintable(boxes[0].prompt);
        EXPECT_EQ(boxes[0].buttons & MsgBoxStyle::vbCritical, MsgBoxStyle::vbCritical);
        EXPECT_FALSE(form.isVisible());
    });
}

TEST_F(FormLoadTest, LibraryWithoutTheEntryPointIsError453)
{
    const QString path = programFolder(QStringLiteral("bin"), {{LibraryWithoutEntry, LibraryFileName}});
    inFreshProcess([&] {
        App::setPathForTesting(path);
        Form1 form;
        EXPECT_EQ(formLoadError(form), ErrorNumber::EntryPointNotFound);
    });
}

TEST_F(FormLoadTest, SkinPathIsTheFolderFollowedBySlashSkinhShe)
{
    const QString path = programFolder(QStringLiteral("程序 目录"), {{RecordingLibrary, LibraryFileName}});
    inFreshProcess([&] {
        recordCalls();
        App::setPathForTesting(path);
        Form1 form;
        EXPECT_EQ(formLoadError(form), 0) << "the library's answer is not examined";
        const QList<QByteArray> calls = recordedCalls();
        ASSERT_EQ(calls.size(), 2) << "called once, with two arguments";
        EXPECT_EQ(calls[0], (path + QStringLiteral("/skinh.she")).toLocal8Bit());
        EXPECT_EQ(calls[1], QByteArray());
    });
}

TEST_F(FormLoadTest, FolderEndingInASeparatorIsTakenUnchanged)
{
    const QString path = programFolder(QStringLiteral("bin"), {{RecordingLibrary, LibraryFileName}});
    inFreshProcess([&] {
        recordCalls();
        App::setPathForTesting(path + QLatin1Char('/'));
        Form1 form;
        EXPECT_EQ(formLoadError(form), 0);
        const QList<QByteArray> calls = recordedCalls();
        ASSERT_EQ(calls.size(), 2);
        EXPECT_EQ(calls[0], QFile::encodeName(path) + "//skinh.she");
    });
}

// The system's search for libraries follows LD_LIBRARY_PATH, which the loader reads when a process starts:
// it is set before the fresh process is made, to folders that are the same for that process.
class SystemLibrarySearch
{
public:
    explicit SystemLibrarySearch(const QString &folder)
        : m_saved(qgetenv("LD_LIBRARY_PATH"))
    {
        qputenv("LD_LIBRARY_PATH", QFile::encodeName(folder));
    }
    ~SystemLibrarySearch() { qputenv("LD_LIBRARY_PATH", m_saved); }

private:
    QByteArray m_saved;
};

TEST_F(FormLoadTest, ProgramFolderComesBeforeTheSystemsSearch)
{
    const QString path = programFolder(QStringLiteral("bin"), {{RecordingLibrary, LibraryFileName}});
    const SystemLibrarySearch search(QFileInfo(LibraryWithoutEntry).path());
    inFreshProcess([&] {
        recordCalls();
        App::setPathForTesting(path);
        Form1 form;
        EXPECT_EQ(formLoadError(form), 0);
        EXPECT_EQ(recordedCalls().size(), 2);
    });
}

TEST_F(FormLoadTest, SystemsSearchFindsTheLibraryWhenTheFolderHasNone)
{
    const QString path = programFolder(QStringLiteral("bin"));
    const SystemLibrarySearch search(QFileInfo(RecordingLibrary).path());
    inFreshProcess([&] {
        recordCalls();
        App::setPathForTesting(path);
        Form1 form;
        EXPECT_EQ(formLoadError(form), 0);
        EXPECT_EQ(recordedCalls().size(), 2);
    });
}

// The window settings need the skin library only to get past its call: the built one serves.
class FormLoadSettingsTest : public FormLoadTest
{
protected:
    void SetUp() override
    {
        FormLoadTest::SetUp();
        App::setPathForTesting(QFileInfo(SkinLibrary).path());
    }
};

TEST_F(FormLoadSettingsTest, SizingBorderClearedEveryOtherStyleBitKept)
{
    Form1 form;
    const qint32 described = GetWindowLongA(&form, GWL_STYLE);
    ASSERT_NE(described & WS_THICKFRAME, 0) << "the window description gives a sizing border";
    const Qt::WindowFlags flagsBefore = form.windowFlags();

    ASSERT_EQ(formLoadError(form), 0);
    EXPECT_EQ(GetWindowLongA(&form, GWL_STYLE), described & ~WS_THICKFRAME);
    // The window manager is told that the window has just one size, the one it has.
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.minimumSize(), form.size());
    // Caption, system menu and minimize box keep their meaning.
    EXPECT_EQ(form.windowFlags(), flagsBefore);

    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    form.hide();
}

TEST_F(FormLoadSettingsTest, SaveDialogOffersJpegThenBmp)
{
    Form1 form;
    ASSERT_EQ(formLoadError(form), 0);
    EXPECT_EQ(form.CommonDialog2.Filter(), PictureFilter);
    EXPECT_EQ(form.CommonDialog2.Filter().size(), 35);

    QStringList offered;
    CommonDialog::setScript([&](const CommonDialog::Request &request) {
        offered = request.nameFilters;
        return CommonDialog::Answer::cancel();
    });
    form.CommonDialog2.ShowSave();
    EXPECT_EQ(offered, QStringList({QStringLiteral("图片文件(*.jpg)"), QStringLiteral("图片文件(*.bmp)")}));
}

TEST_F(FormLoadSettingsTest, WorkPictureBoxCountsPixelsAndKeepsItsDrawing)
{
    Form1 form;
    // Whatever the box was given before, the load sets both.
    form.Picture1.setScaleMode(PictureBox::vbTwips);
    form.Picture1.setAutoRedraw(false);
    ASSERT_EQ(formLoadError(form), 0);
    EXPECT_EQ(form.Picture1.ScaleMode(), PictureBox::vbPixels);
    EXPECT_TRUE(form.Picture1.AutoRedraw());
    EXPECT_EQ(form.Picture1.ScaleWidth(), float(form.Picture1.innerSize().width()));
}

} // namespace
