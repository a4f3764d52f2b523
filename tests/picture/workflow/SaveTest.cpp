// The save button on the real window.

#include "RealFileDialog.h"
#include "WorkflowFixture.h"

#include "controls/App.h"
#include "controls/PictureFiles.h"
#include "picture/StatusTexts.h"
#include "tests/hostile/PictureCorpus.h"
#include "tests/pixels/grey/GreyRule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <climits>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class SaveTest : public WorkflowTest
{
protected:
    // A decolorized picture in the box; returns its pixels as colour values.
    QList<qint32> greyPicture(int width = 29, int height = 18)
    {
        open(writePicture(path("colour.bmp"), colourPattern(width, height)));
        decolorize();
        EXPECT_EQ(status(), StatusText::Decolorized);
        return surfaceColours(form->Picture1);
    }

    // Mean difference per channel between a JPEG read back and the colour values it should hold.
    static double meanError(const QImage &readBack, const QList<qint32> &expected)
    {
        const QList<qint32> got = colourValues(readBack);
        if (got.size() != expected.size())
            return 1e9;
        double sum = 0;
        for (qsizetype i = 0; i < got.size(); ++i)
            sum += std::abs(GetRed(got[i]) - GetRed(expected[i])) + std::abs(GetGreen(got[i]) - GetGreen(expected[i]))
                   + std::abs(GetBlue(got[i]) - GetBlue(expected[i]));
        return sum / (3.0 * double(got.size()));
    }
};

TEST_F(SaveTest, SavesTheGreyPictureAsA24BitBitmapBitForBit)
{
    const QList<qint32> grey = greyPicture();
    const QStringList before = folderEntries();
    const QString target = path("grey.bmp");
    save(target);

    EXPECT_EQ(status(), QStringLiteral("保存成功!路径:") + target);
    ASSERT_EQ(dialogRequests.size(), 2);
    const CommonDialog::Request &request = dialogRequests[1];
    EXPECT_EQ(request.kind, CommonDialog::Kind::Save);
    EXPECT_EQ(request.title, QStringLiteral("请选择保存的路径"));
    EXPECT_EQ(request.nameFilters, QStringList({QStringLiteral("图片文件(*.jpg)"), QStringLiteral("图片文件(*.bmp)")}));
    EXPECT_EQ(formatByContent(target), "bmp");
    EXPECT_EQ(bmpBitCount(target), 24);
    const QImage readBack(target);
    EXPECT_EQ(readBack.size(), QSize(29, 18));
    EXPECT_EQ(colourValues(readBack), grey);
    EXPECT_EQ(folderEntries(), QStringList(before) << QStringLiteral("grey.bmp"));
    // A new file is made as any other program's: readable by others as the user's mask allows.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
    // Saving changes nothing in the window.
    EXPECT_TRUE(form->Command3.isEnabled());
    EXPECT_EQ(surfaceColours(form->Picture1), grey);
    EXPECT_TRUE(messageBoxes.isEmpty());
}

TEST_F(SaveTest, JpegNamesGetARealJpegEveryOtherNameABitmap)
{
    const QList<qint32> grey = greyPicture(48, 32);
    for (const QString &name :
         {QStringLiteral("grey.jpg"), QStringLiteral("GREY2.JPEG"), QStringLiteral("grey3.Jpg")}) {
        SCOPED_TRACE(name.toStdString());
        save(path(name));
        EXPECT_EQ(status(), StatusText::SavedTo + path(name));
        EXPECT_EQ(formatByContent(path(name)), "jpeg");
        const QImage readBack(path(name));
        EXPECT_TRUE(readBack.allGray());
        EXPECT_LT(meanError(readBack, grey), 2.0);
    }
    for (const QString &name : {QStringLiteral("grey.png"), QStringLiteral("grey.BMP"), QStringLiteral("grey.v2")}) {
        SCOPED_TRACE(name.toStdString());
        save(path(name));
        EXPECT_EQ(status(), StatusText::SavedTo + path(name));
        EXPECT_EQ(formatByContent(path(name)), "bmp");
        EXPECT_EQ(bmpBitCount(path(name)), 24);
        EXPECT_EQ(colourValues(QImage(path(name), "BMP")), grey);
    }
}

TEST_F(SaveTest, AColourPictureSavedAsJpegKeepsItsColours)
{
    // Smooth colours, which a JPEG keeps closely.
    QImage gradient(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(x * 4, 200 - y * 4, 128));
    open(writePicture(path("colour.bmp"), gradient));
    form->Command3.setEnabled(true);
    save(path("colour.jpg"));
    EXPECT_EQ(status(), StatusText::SavedTo + path("colour.jpg"));
    EXPECT_EQ(formatByContent(path("colour.jpg")), "jpeg");
    const QImage readBack(path("colour.jpg"));
    EXPECT_FALSE(readBack.allGray());
    EXPECT_LT(meanError(readBack, colourValues(gradient)), 3.0);
}

TEST_F(SaveTest, ACancelledDialogWritesNothing)
{
    greyPicture();
    save(path("first.bmp"));
    const QStringList before = folderEntries();
    // Whatever the dialog was left with, a cancel is reported as a cancel.
    form->CommonDialog2.setCancelError(false);
    answerDialogs({cancel()});
    form->Command3.click();

    EXPECT_EQ(status(), QStringLiteral("您取消了保存图片文件!"));
    EXPECT_TRUE(form->CommonDialog2.FileName().isEmpty());
    EXPECT_TRUE(form->CommonDialog2.CancelError());
    EXPECT_EQ(folderEntries(), before);
    EXPECT_TRUE(messageBoxes.isEmpty());
}

TEST_F(SaveTest, WithoutAPictureTheDialogComesFirstThenTheNoPictureText)
{
    form->Command3.setEnabled(true);
    const QStringList before = folderEntries();
    save(path("nothing.bmp"));

    ASSERT_EQ(dialogRequests.size(), 1);
    EXPECT_EQ(dialogRequests[0].kind, CommonDialog::Kind::Save);
    EXPECT_EQ(status(), StatusText::NoPicture);
    EXPECT_EQ(folderEntries(), before);
    EXPECT_TRUE(messageBoxes.isEmpty());
}

TEST_F(SaveTest, ASaveAfterALaterOpenWritesTheNewlyOpenedPicture)
{
    greyPicture();
    const QImage second = colourPattern(17, 12, 11);
    open(writePicture(path("second.bmp"), second));
    ASSERT_TRUE(form->Command3.isEnabled());
    save(path("out.bmp"));
    EXPECT_EQ(status(), StatusText::SavedTo + path("out.bmp"));
    EXPECT_EQ(colourValues(QImage(path("out.bmp"))), colourValues(second));
}

TEST_F(SaveTest, TheSamePictureSavesAgainUnderAnotherName)
{
    const QList<qint32> grey = greyPicture();
    save(path("one.bmp"));
    save(path("two.bmp"));
    EXPECT_EQ(status(), StatusText::SavedTo + path("two.bmp"));
    EXPECT_EQ(fileBytes(path("one.bmp")), fileBytes(path("two.bmp")));
    EXPECT_EQ(colourValues(QImage(path("two.bmp"))), grey);
    // And over a file that already stands there.
    save(path("one.bmp"));
    EXPECT_EQ(status(), StatusText::SavedTo + path("one.bmp"));
    EXPECT_EQ(fileBytes(path("one.bmp")), fileBytes(path("two.bmp")));
}

TEST_F(SaveTest, ABareNameTakesTheChosenFilterEntrysExtension)
{
    const QList<qint32> grey = greyPicture();
    save(path("bare"), 0);
    EXPECT_EQ(form->CommonDialog2.DefaultExt(), App::Path());
    EXPECT_EQ(form->CommonDialog2.FileName(), path("bare.jpg"));
    EXPECT_EQ(status(), StatusText::SavedTo + path("bare.jpg"));
    EXPECT_EQ(formatByContent(path("bare.jpg")), "jpeg");

    save(path("bare"), 1);
    EXPECT_EQ(form->CommonDialog2.FileName(), path("bare.bmp"));
    EXPECT_EQ(status(), StatusText::SavedTo + path("bare.bmp"));
    EXPECT_EQ(colourValues(QImage(path("bare.bmp"))), grey);
    EXPECT_FALSE(QFileInfo::exists(path("bare")));
}

// A failed save names the path it could not write, leaves no file of its own behind and keeps what stood there.
TEST_F(SaveTest, AFailedWriteIsReportedAndLeavesNothingBehind)
{
    greyPicture();
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("a folder.bmp")));
    QStringList before = folderEntries();

    save(path("a folder.bmp"));
    EXPECT_EQ(status(), StatusText::SaveFailedAt + path("a folder.bmp"));
    EXPECT_TRUE(QFileInfo(path("a folder.bmp")).isDir());
    EXPECT_TRUE(QDir(path("a folder.bmp")).isEmpty());
    EXPECT_EQ(folderEntries(), before);

    const QString underMissingFolder = path("no such folder/grey.bmp");
    save(underMissingFolder);
    EXPECT_EQ(status(), StatusText::SaveFailedAt + underMissingFolder);
    EXPECT_FALSE(QFileInfo::exists(path("no such folder")));
    EXPECT_EQ(folderEntries(), before);

    const QString tooLong = path(QString(300, QLatin1Char('x')) + QStringLiteral(".bmp"));
    form->CommonDialog2.setMaxFileSize(4096);
    save(tooLong);
    EXPECT_EQ(status(), StatusText::SaveFailedAt + tooLong);
    EXPECT_EQ(folderEntries(), before);
    EXPECT_TRUE(messageBoxes.isEmpty());

    // Longer than any path of this system: the dialog cannot hand it over, yet the text names it.
    form->CommonDialog2.setMaxFileSize(260);
    const QString beyondPathMax = path(QString(PATH_MAX, QLatin1Char('y')) + QStringLiteral(".bmp"));
    save(beyondPathMax);
    EXPECT_EQ(status(), StatusText::SaveFailedAt + beyondPathMax);
    EXPECT_EQ(folderEntries(), before);
}

TEST_F(SaveTest, AFolderDeeperThanTheOldPathLimitOpensAndSaves)
{
    QString deep = folder();
    while (deep.size() <= 2 * 260)
        deep += QStringLiteral("/一个很深的文件夹") + QString(40, QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString colour = writePicture(deep + QStringLiteral("/colour.bmp"), colourPattern(29, 18));
    open(colour);
    EXPECT_EQ(status(), StatusText::Loaded);
    decolorize();
    const QString target = deep + QStringLiteral("/grey.bmp");
    save(target);
    EXPECT_EQ(status(), StatusText::SavedTo + target);
    EXPECT_EQ(colourValues(QImage(target)), surfaceColours(form->Picture1));
}

TEST_F(SaveTest, AFullDiskKeepsTheFileThatStoodThere)
{
    greyPicture(120, 90);
    const QString target = path("kept.bmp");
    QFile existing(target);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write(QByteArray("an earlier file that must survive"));
    existing.close();
    const QByteArray earlier = fileBytes(target);
    const QStringList before = folderEntries();

    // The picture is far larger than the file size limit, so the disk is "full" half way through.
    const int result = runInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 64;
        save(target);
        int failures = 0;
        if (status() != StatusText::SaveFailedAt + target)
            failures |= 1;
        if (!messageBoxes.isEmpty())
            failures |= 2;
        return failures;
    });
    EXPECT_EQ(result, 0) << "1: wrong status text, 2: a message box, 64: no limit";
    EXPECT_EQ(fileBytes(target), earlier);
    EXPECT_EQ(folderEntries(), before);

    // The same save with room to spare replaces it.
    save(target);
    EXPECT_EQ(status(), StatusText::SavedTo + target);
    EXPECT_EQ(bmpBitCount(target), 24);
}

TEST_F(SaveTest, AFolderThatCannotBeWrittenKeepsItsFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    greyPicture();
    const QString locked = path("locked");
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("locked")));
    const QString target = locked + QStringLiteral("/kept.bmp");
    QFile existing(target);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write(QByteArray("an earlier file"));
    existing.close();
    // Neither the folder nor the file takes a write; a writable file would be overwritten in place.
    ASSERT_TRUE(QFile::setPermissions(target, QFileDevice::ReadOwner));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    save(target);
    EXPECT_EQ(status(), StatusText::SaveFailedAt + target);
    EXPECT_EQ(fileBytes(target), QByteArray("an earlier file"));
    EXPECT_EQ(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList(QStringLiteral("kept.bmp")));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(SaveTest, SaveThroughTheRealFileDialog)
{
    const QList<qint32> grey = greyPicture();
    CommonDialog::setScript({});
    // A bare name: the dialog gives it the extension of its first filter entry.
    const FileDialogTyping user(path("typed"));
    form->Command3.click();

    EXPECT_TRUE(user.typed());
    EXPECT_FALSE(user.gaveUp());
    EXPECT_EQ(user.title(), QStringLiteral("请选择保存的路径"));
    const QString written = path("typed.jpg");
    EXPECT_EQ(QFileInfo(form->CommonDialog2.FileName()).absoluteFilePath(), QFileInfo(written).absoluteFilePath());
    EXPECT_EQ(status(), StatusText::SavedTo + form->CommonDialog2.FileName());
    EXPECT_EQ(formatByContent(written), "jpeg");
    EXPECT_TRUE(QImage(written).allGray());
    EXPECT_FALSE(QFileInfo::exists(path("typed")));
}

// Pictures of other pixel formats than the box's, handed straight to the save function, keep their resolution.
TEST(SavePicture, EveryPixelFormatBecomesA24BitBitmapOrAGreyJpeg)
{
    QTemporaryDir folder;
    QImage colour = colourPattern(13, 7);
    colour.setDotsPerMeterX(11811); // 300 dots an inch
    colour.setDotsPerMeterY(7874);  // 200
    for (const QImage::Format format :
         {QImage::Format_ARGB32, QImage::Format_RGB888, QImage::Format_Grayscale8, QImage::Format_Indexed8}) {
        SCOPED_TRACE(int(format));
        const QImage image = colour.convertToFormat(format);
        const QString bitmap = folder.filePath(QStringLiteral("picture.bmp"));
        SavePicture(StdPicture(image), bitmap);
        EXPECT_EQ(bmpBitCount(bitmap), 24);
        EXPECT_EQ(colourValues(QImage(bitmap)), colourValues(image));
        EXPECT_EQ(QImage(bitmap).dotsPerMeterY(), 7874);

        const QString jpeg = folder.filePath(QStringLiteral("picture.jpg"));
        const QImage grey = image.convertToFormat(QImage::Format_Grayscale8).convertToFormat(format);
        SavePicture(StdPicture(grey), jpeg);
        EXPECT_EQ(formatByContent(jpeg), "jpeg");
        EXPECT_TRUE(QImage(jpeg).allGray());
        EXPECT_EQ(QImage(jpeg).dotsPerMeterX(), 11811);
        EXPECT_EQ(QImage(jpeg).dotsPerMeterY(), 7874);
    }
    EXPECT_THROW(SavePicture(StdPicture(), folder.filePath(QStringLiteral("none.bmp"))), RuntimeError);
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("none.bmp"))));
}

} // namespace

// The command line's kelvo-gray writes, for every kind of picture the window opens, the very bytes that the
// window saves for the same file under the same kind of name (a JPEG at the window's quality and without the
// source's metadata); its PNG, which the window does not write, holds the very pixels of the window's bitmap.
TEST_F(SaveTest, KelvoGrayWritesWhatTheWindowSaves)
{
    QDir(folder()).mkdir(QStringLiteral("in"));
    const QList<PictureCorpus::Sample> samples = PictureCorpus::goodPictures();
    for (const PictureCorpus::Sample &sample : samples) {
        QFile file(path(QStringLiteral("in/") + sample.name + sample.suffix));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(sample.bytes) == sample.bytes.size());
    }
    for (const QString &format : {QStringLiteral("bmp"), QStringLiteral("jpg"), QStringLiteral("png")}) {
        QProcess command;
        command.start(QStringLiteral(KELVO_GRAY_PROGRAM),
                      {QStringLiteral("-q"), QStringLiteral("--quality=95"), QStringLiteral("--strip"),
                       QStringLiteral("-f"), format, QStringLiteral("-o"), path(format), path(QStringLiteral("in"))});
        ASSERT_TRUE(command.waitForFinished(60000));
        EXPECT_EQ(command.exitCode(), 0) << command.readAllStandardError().toStdString();
        for (const PictureCorpus::Sample &sample : samples) {
            SCOPED_TRACE(sample.name.toStdString() + " as " + format.toStdString());
            const bool png = format == QLatin1String("png");
            const QString windowSaved = path(QStringLiteral("window.") + (png ? QStringLiteral("bmp") : format));
            open(path(QStringLiteral("in/") + sample.name + sample.suffix));
            decolorize();
            save(windowSaved);
            ASSERT_EQ(status(), StatusText::SavedTo + windowSaved);
            const QString written = path(format + QLatin1Char('/') + sample.name + QStringLiteral("-黑白.") + format);
            if (png) {
                const QImage pixels(written);
                EXPECT_EQ(pixels.format(), QImage::Format_Grayscale8);
                EXPECT_EQ(pixels.convertToFormat(QImage::Format_RGB32), QImage(windowSaved));
            } else {
                EXPECT_EQ(fileBytes(written), fileBytes(windowSaved));
            }
            // Both resolutions come through, however they differ (to the dot an inch a JPEG stores).
            const auto dotsPerInch = [](const QImage &image) {
                return QSize(qRound(image.dotsPerMeterX() * 0.0254), qRound(image.dotsPerMeterY() * 0.0254));
            };
            EXPECT_EQ(dotsPerInch(QImage(written)),
                      dotsPerInch(QImage(path(QStringLiteral("in/") + sample.name + sample.suffix))));
        }
    }
}
