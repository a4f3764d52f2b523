#include "controls/CommonDialog.h"
#include "errors/RuntimeError.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <ostream>
#include <vector>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString PictureFilter = QStringLiteral("图片文件(*.jpg)|*.jpg|图片文件(*.bmp)|*.bmp");
const QStringList PictureEntries = {QStringLiteral("图片文件(*.jpg)"), QStringLiteral("图片文件(*.bmp)")};

int errorNumberOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const RuntimeError &error) {
        return error.number();
    }
    return 0;
}

// Dialogs answered by script; every request the dialog made is kept.
class CommonDialogTest : public ::testing::Test
{
protected:
    void TearDown() override { CommonDialog::setScript({}); }

    void answerWith(const CommonDialog::Answer &answer)
    {
        CommonDialog::setScript([this, answer](const CommonDialog::Request &request) {
            requests.push_back(request);
            return answer;
        });
    }

    std::vector<CommonDialog::Request> requests;
    CommonDialog dialog;
};

TEST_F(CommonDialogTest, FilterEntriesOfferedExactlyJpegFirst)
{
    dialog.setFilter(PictureFilter);
    dialog.setDialogTitle(QStringLiteral("请选择图片"));
    answerWith(CommonDialog::Answer::choose(QStringLiteral("/pictures/a.jpg")));
    dialog.ShowOpen();
    dialog.ShowSave();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].kind, CommonDialog::Kind::Open);
    EXPECT_EQ(requests[1].kind, CommonDialog::Kind::Save);
    for (const CommonDialog::Request &request : requests) {
        EXPECT_EQ(request.nameFilters, PictureEntries);
        EXPECT_EQ(request.title, QStringLiteral("请选择图片"));
    }
}

TEST_F(CommonDialogTest, DescriptionWithoutItsPatternStillFiltersByThePattern)
{
    dialog.setFilter(QStringLiteral("图片|*.jpg;*.bmp|所有文件|*.*"));
    EXPECT_EQ(dialog.nameFilters(),
              QStringList({QStringLiteral("图片 (*.jpg *.bmp)"), QStringLiteral("所有文件 (*.*)")}));
}

TEST_F(CommonDialogTest, CancelWithCancelErrorRaises32755AndForgetsTheName)
{
    dialog.setCancelError(true);
    answerWith(CommonDialog::Answer::cancel());

    dialog.setFileName(QStringLiteral("/pictures/old.jpg"));
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowSave(); }), ErrorNumber::DialogCancelled);
    EXPECT_TRUE(dialog.FileName().isEmpty());

    dialog.setFileName(QStringLiteral("/pictures/old.jpg"));
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowOpen(); }), ErrorNumber::DialogCancelled);
    EXPECT_TRUE(dialog.FileName().isEmpty());

    // The next dialog still starts in the last folder with the last name.
    answerWith(CommonDialog::Answer::choose(QStringLiteral("/pictures/grey.bmp")));
    dialog.ShowSave();
    answerWith(CommonDialog::Answer::cancel());
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowSave(); }), ErrorNumber::DialogCancelled);
    EXPECT_TRUE(dialog.FileName().isEmpty());
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowSave(); }), ErrorNumber::DialogCancelled);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().fileName, QStringLiteral("/pictures/grey.bmp"));
}

TEST_F(CommonDialogTest, CancelWithoutCancelErrorReturnsWithNoName)
{
    answerWith(CommonDialog::Answer::cancel());
    dialog.setFileName(QStringLiteral("/pictures/old.jpg"));
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowOpen(); }), 0);
    EXPECT_TRUE(dialog.FileName().isEmpty());
    // Asked with the previous name, but a cancel must not bring it back.
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].fileName, QStringLiteral("/pictures/old.jpg"));
}

TEST_F(CommonDialogTest, NameLongerThanMaxFileSizeIsAnErrorNeverACutName)
{
    dialog.setMaxFileSize(20);
    const QString fits = QStringLiteral("/p/") + QString(13, QLatin1Char('a')) + QStringLiteral(".jpg"); // 20
    const QString tooLong = QStringLiteral("/p/") + QString(14, QLatin1Char('a')) + QStringLiteral(".jpg");

    answerWith(CommonDialog::Answer::choose(fits));
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), fits);

    answerWith(CommonDialog::Answer::choose(tooLong));
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowOpen(); }), ErrorNumber::BufferTooSmall);
    EXPECT_TRUE(dialog.FileName().isEmpty());

    // The extension a save adds counts as well.
    dialog.setFilter(PictureFilter);
    answerWith(CommonDialog::Answer::choose(QStringLiteral("/p/") + QString(14, QLatin1Char('b'))));
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowSave(); }), ErrorNumber::BufferTooSmall);
    EXPECT_TRUE(dialog.FileName().isEmpty());

    // A buffer of the full path limit takes any path of this system: up to PATH_MAX bytes with the final zero.
    dialog.setMaxFileSize(260);
    const QString deep = QStringLiteral("/p/") + QString(300, QChar(0x56FE)) + QStringLiteral(".jpg");
    answerWith(CommonDialog::Answer::choose(deep));
    dialog.ShowSave();
    EXPECT_EQ(dialog.FileName(), deep);
    const QString longest = QStringLiteral("/") + QString(PATH_MAX - 6, QLatin1Char('d')) + QStringLiteral(".jpg");
    answerWith(CommonDialog::Answer::choose(longest));
    dialog.ShowSave();
    EXPECT_EQ(dialog.FileName(), longest);
    const QString beyond = QStringLiteral("/p/") + QString(1400, QChar(0x56FE)) + QStringLiteral(".jpg");
    answerWith(CommonDialog::Answer::choose(beyond));
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowSave(); }), ErrorNumber::BufferTooSmall);
    EXPECT_TRUE(dialog.FileName().isEmpty());
    EXPECT_EQ(dialog.chosenPath(), beyond);
}

TEST_F(CommonDialogTest, DefaultExtPlainExtensionOrFolderPath)
{
    dialog.setFilter(PictureFilter);
    const auto saveAs = [&](const QString &path, int filterIndex) {
        answerWith(CommonDialog::Answer::choose(path, filterIndex));
        dialog.ShowSave();
        return dialog.FileName();
    };

    dialog.setDefaultExt(QStringLiteral("bmp"));
    EXPECT_EQ(saveAs(QStringLiteral("/out/grey"), 0), QStringLiteral("/out/grey.bmp"));
    dialog.setDefaultExt(QStringLiteral(".bmp"));
    EXPECT_EQ(saveAs(QStringLiteral("/out/grey"), 0), QStringLiteral("/out/grey.bmp"));

    // The save command passes the program's folder: that is no extension, so the chosen entry decides.
    for (const QString &folder :
         {QStringLiteral("/opt/kelvo"), QStringLiteral("/opt/kelvo-1.0/bin"), QStringLiteral("/home/用户/程序/")}) {
        dialog.setDefaultExt(folder);
        EXPECT_EQ(saveAs(QStringLiteral("/out/grey"), 0), QStringLiteral("/out/grey.jpg")) << qPrintable(folder);
        EXPECT_EQ(saveAs(QStringLiteral("/out/grey"), 1), QStringLiteral("/out/grey.bmp")) << qPrintable(folder);
        EXPECT_EQ(saveAs(QStringLiteral("/out.d/grey.png"), 1), QStringLiteral("/out.d/grey.png"))
            << qPrintable(folder);
        EXPECT_EQ(saveAs(QStringLiteral("/out.d/grey"), 1), QStringLiteral("/out.d/grey.bmp")) << qPrintable(folder);
    }

    // Opening takes the name as chosen.
    answerWith(CommonDialog::Answer::choose(QStringLiteral("/in/picture")));
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), QStringLiteral("/in/picture"));
}

// The dialog a person sees: Qt's own file dialog, driven from inside its modal loop.
class ShownDialogTest : public ::testing::Test
{
protected:
    // Runs `handle` on the file dialog once it is up.
    static void whenShown(std::function<void(QFileDialog &)> handle)
    {
        QTimer::singleShot(0, qApp, [handle] {
            auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!fileDialog) {
                ADD_FAILURE() << "no file dialog is shown";
                return;
            }
            handle(*fileDialog);
        });
    }

    QTemporaryDir folder;
    CommonDialog dialog;
};

TEST_F(ShownDialogTest, OffersTheFilterEntriesAndCancels)
{
    dialog.setFilter(PictureFilter);
    dialog.setDialogTitle(QStringLiteral("请选择图片"));
    dialog.setFileName(folder.filePath(QStringLiteral("old.jpg")));
    QStringList offered;
    QString title;
    bool nonNative = false;
    whenShown([&](QFileDialog &shown) {
        offered = shown.nameFilters();
        title = shown.windowTitle();
        nonNative = shown.testOption(QFileDialog::DontUseNativeDialog);
        shown.reject();
    });
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowOpen(); }), 0);
    EXPECT_EQ(offered, PictureEntries);
    EXPECT_EQ(title, QStringLiteral("请选择图片"));
    EXPECT_TRUE(nonNative);
    EXPECT_TRUE(dialog.FileName().isEmpty());

    dialog.setCancelError(true);
    whenShown([](QFileDialog &shown) { shown.reject(); });
    EXPECT_EQ(errorNumberOf([&] { dialog.ShowSave(); }), ErrorNumber::DialogCancelled);
}

// The files the dialog lists in `folder` under the chosen entry, once the listing has settled.
QStringList listedFiles(QFileDialog &shown, const QString &folder)
{
    shown.setDirectory(folder);
    const auto *view = shown.findChild<QListView *>(QStringLiteral("listView"));
    if (!view)
        return {QStringLiteral("<no list>")};
    QStringList names, previous;
    QDeadlineTimer deadline(10000);
    int steady = 0;
    while (!deadline.hasExpired() && steady < 4) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        names.clear();
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            names << view->model()->index(row, 0, root).data().toString();
        names.sort();
        // The sub-folder is listed under every entry: once it is there, the folder has been read.
        steady = names.contains(QStringLiteral("sub")) && names == previous ? steady + 1 : 0;
        previous = names;
    }
    names.removeAll(QStringLiteral("sub"));
    return names;
}

TEST_F(ShownDialogTest, ListsWhatTheChosenEntryMatches)
{
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("sub")));
    for (const char *name : {"a.jpg", "B.JPG", "c.bmp", "d.png", "e.jpg.txt"}) {
        QFile file(folder.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const auto listed = [&](const QString &filter, int entry) {
        dialog.setFilter(filter);
        QStringList names;
        whenShown([&](QFileDialog &shown) {
            shown.selectNameFilter(shown.nameFilters().value(entry));
            names = listedFiles(shown, folder.path());
            shown.reject();
        });
        dialog.ShowOpen();
        return names;
    };

    // Sorted as text: capitals first.
    EXPECT_EQ(listed(PictureFilter, 0), QStringList({QStringLiteral("B.JPG"), QStringLiteral("a.jpg")}));
    EXPECT_EQ(listed(PictureFilter, 1), QStringList({QStringLiteral("c.bmp")}));
    // One entry for several patterns, written the customary way with ";" between them.
    const QStringList pictures = {QStringLiteral("B.JPG"), QStringLiteral("a.jpg"), QStringLiteral("c.bmp")};
    EXPECT_EQ(listed(QStringLiteral("图片(*.jpg;*.bmp)|*.jpg;*.bmp"), 0), pictures);
    EXPECT_EQ(listed(QStringLiteral("图片|*.jpg;*.bmp"), 0), pictures);
    EXPECT_EQ(listed(QStringLiteral("*.jpg;*.bmp"), 0), pictures);
}

TEST_F(ShownDialogTest, ChosenFilesComeBackAsFullPaths)
{
    ASSERT_TRUE(folder.isValid());
    const QString existing = folder.filePath(QStringLiteral("picture.bmp"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    dialog.setFilter(PictureFilter);
    whenShown([&](QFileDialog &shown) {
        shown.selectNameFilter(PictureEntries[1]);
        shown.selectFile(existing);
        static_cast<QDialog &>(shown).accept();
    });
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), existing);

    // A bare name typed into the save dialog takes the extension of the entry that is chosen.
    dialog.setDefaultExt(QDir::currentPath());
    whenShown([&](QFileDialog &shown) {
        shown.selectNameFilter(PictureEntries[0]);
        shown.selectFile(folder.filePath(QStringLiteral("grey")));
        static_cast<QDialog &>(shown).accept();
    });
    dialog.ShowSave();
    EXPECT_EQ(dialog.FileName(), folder.filePath(QStringLiteral("grey.jpg")));
}

} // namespace
