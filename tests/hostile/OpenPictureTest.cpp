#include "ChildProcess.h"
#include "FormatCorpus.h"
#include "HostileTestSupport.h"
#include "PictureCorpus.h"

#include "controls/PictureFiles.h"
#include "picture/StatusTexts.h"
#include "pixels/files/PictureReader.h"

#include <QFileInfo>
#include <QTransform>

#include <sys/stat.h>

using PictureCorpus::Sample;

namespace {

constexpr qint64 MiB = 1024 * 1024;
// A refused file may cost the decoder's tables and a few small buffers, never a surface it claims.
constexpr qint64 RefusalMemory = 32 * MiB;

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
           && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Something that is not a picture file at all, made on the spot in `dir`.
struct Special
{
    QString name;
    QString path;
};

QList<Special> specialFiles(const QDir &dir)
{
    QList<Special> cases;
    dir.mkpath(QStringLiteral("folder.jpg"));
    cases.append({QStringLiteral("a folder"), dir.filePath(QStringLiteral("folder.jpg"))});
    cases.append({QStringLiteral("a missing file"), dir.filePath(QStringLiteral("missing.jpg"))});
    cases.append({QStringLiteral("a path through a file"), dir.filePath(QStringLiteral("folder.jpg/../x.jpg/y.jpg"))});
    QFile::link(dir.filePath(QStringLiteral("nowhere.jpg")), dir.filePath(QStringLiteral("dangling.jpg")));
    cases.append({QStringLiteral("a dangling link"), dir.filePath(QStringLiteral("dangling.jpg"))});
    QFile::link(dir.filePath(QStringLiteral("folder.jpg")), dir.filePath(QStringLiteral("to-folder.jpg")));
    cases.append({QStringLiteral("a link to a folder"), dir.filePath(QStringLiteral("to-folder.jpg"))});
    cases.append({QStringLiteral("a device without end"), QStringLiteral("/dev/zero")});
    QFile big(dir.filePath(QStringLiteral("film.jpg")));
    if (big.open(QIODevice::WriteOnly))
        big.resize(256 * 1024 * 1024); // holds nothing but takes no disk
    cases.append({QStringLiteral("a big file that is no picture"), big.fileName()});
    dir.mkpath(QStringLiteral("照片 文件夹"));
    const QString chinese = dir.filePath(QStringLiteral("照片 文件夹/坏的 图片 (1).jpg"));
    writeFile(chinese, QByteArrayLiteral("不是图片"));
    cases.append({QStringLiteral("a bad file under a Chinese name with spaces"), chinese});
    return cases;
}

class OpenPicture : public ProgramWindow
{
protected:
    void SetUp() override
    {
        ProgramWindow::SetUp();
        const QString earlier =
            writeFile(path(QStringLiteral("earlier.jpg")), PictureCorpus::jpegOf(PictureCorpus::bandedImage(20, 12)));
        open(earlier);
        ASSERT_EQ(status(), StatusText::Loaded);
        m_earlier = form.Picture1.Picture();
        ASSERT_NE(m_earlier.Handle(), 0);
    }

    QString writeSample(const Sample &sample) { return writeFile(path(sample.name + sample.suffix), sample.bytes); }

    // Opens `chosen` and tells what went wrong, if anything, in a line fit for a report.
    QByteArray refusalProblems(const QString &chosen)
    {
        open(chosen);
        QByteArray problems;
        if (status() != StatusText::LoadFailed)
            problems += " status \"" + status().toUtf8() + '"';
        if (!(form.Picture1.Picture() == m_earlier))
            problems += " the box lost its picture";
        if (!(form.Image1.Picture() == m_earlier))
            problems += " the preview lost its picture";
        if (form.Picture1.Image().image().size() != m_earlier.image().size())
            problems += " the surface changed size";
        return problems;
    }

    void expectRefused(const QString &what, const QString &chosen)
    {
        const QByteArray problems = refusalProblems(chosen);
        EXPECT_TRUE(problems.isEmpty()) << qPrintable(what) << ':' << problems.constData();
    }

    // Opens `chosen` in a child held to a modest address space; reports problems and how much memory it took.
    void expectRefusedWithinMemory(const QString &what, const QString &chosen)
    {
        ChildLimits limits;
        limits.addressSpaceHeadroom = sanitizedBuild() ? 0 : 1024 * MiB; // room enough not to hide a waste
        limits.timeoutSeconds = 30;
        const ChildResult result = runInChild(
            [&] {
                const qint64 sizeBefore = procStatusBytes("VmSize");
                const qint64 residentBefore = procStatusBytes("VmRSS");
                const QByteArray problems = refusalProblems(chosen);
                const qint64 mapped = procStatusBytes("VmPeak") - sizeBefore;
                const qint64 resident = procStatusBytes("VmHWM") - residentBefore;
                return QByteArray::number(qMax(mapped, resident)) + problems;
            },
            limits);
        ASSERT_TRUE(result.finished) << qPrintable(what) << (result.timedOut ? ": blocked" : ": crashed") << " (signal "
                                     << result.signal << ", exit " << result.exitCode << ") "
                                     << result.report.constData();
        const qsizetype space = result.report.indexOf(' ');
        const qint64 grown = result.report.left(space < 0 ? result.report.size() : space).toLongLong();
        EXPECT_LE(grown, RefusalMemory) << qPrintable(what) << ": took " << grown / MiB << " MiB";
        EXPECT_EQ(space, -1) << qPrintable(what) << ':' << result.report.mid(space).constData();
    }

    StdPicture m_earlier;
};

TEST_F(OpenPicture, GoodPicturesLoadByContentWhateverTheirName)
{
    QList<Sample> samples = PictureCorpus::goodPictures();
    QDir(m_dir.path()).mkpath(QStringLiteral("我的 图片"));
    Sample chinese = samples.constFirst();
    chinese.name = QStringLiteral("我的 图片/春天 的 花 (2)");
    samples.append(chinese);

    for (const Sample &sample : samples) {
        SCOPED_TRACE(sample.name.toStdString());
        open(writeSample(sample));
        ASSERT_EQ(status(), StatusText::Loaded);
        const StdPicture picture = form.Picture1.Picture();
        EXPECT_EQ(form.Image1.Picture(), picture);
        ASSERT_EQ(picture.image().size(), sample.size);
        EXPECT_EQ(picture.image().format(), QImage::Format_RGB32);
        // Top band red, bottom band white: both the colours and the row order survived.
        const int tolerance = sample.lossless ? 0 : 60;
        const QImage &image = picture.image();
        const bool grey = sample.name.contains(QLatin1String("grey"));
        const QRgb top = grey ? qRgb(76, 76, 76) : qRgb(255, 0, 0);
        EXPECT_TRUE(near(image.pixel(image.width() / 2, 0), top, tolerance))
            << std::hex << image.pixel(image.width() / 2, 0);
        EXPECT_TRUE(near(image.pixel(image.width() / 2, image.height() - 1), qRgb(255, 255, 255), tolerance));
    }
}

TEST_F(OpenPicture, BadFilesAreRefusedAndTheEarlierPictureStays)
{
    int tried = 0;
    for (const Sample &sample : PictureCorpus::badPictures()) {
        expectRefused(sample.name, writeSample(sample));
        ++tried;
    }
    for (const Special &special : specialFiles(QDir(m_dir.path()))) {
        expectRefused(special.name, special.path);
        ++tried;
    }
    RecordProperty("bad_files_tried", tried);
    // Afterwards the window still works on the picture it kept.
    form.Command1.click();
    EXPECT_EQ(status(), StatusText::Decolorized);
}

TEST_F(OpenPicture, BadFilesCostNoMemoryTheirHeadersClaimAndNeverBlock)
{
    for (const Sample &sample : PictureCorpus::badPictures())
        expectRefusedWithinMemory(sample.name, writeSample(sample));
    for (const Special &special : specialFiles(QDir(m_dir.path())))
        expectRefusedWithinMemory(special.name, special.path);
    const QString fifo = path(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    expectRefusedWithinMemory(QStringLiteral("a pipe with no writer"), fifo);
}

TEST_F(OpenPicture, FileWithoutReadPermissionIsRefused)
{
    const QString locked = writeFile(path(QStringLiteral("locked.jpg")), readFile(path(QStringLiteral("earlier.jpg"))));
    ASSERT_TRUE(QFile::setPermissions(locked, {}));
    if (!runningAsRoot()) {
        expectRefused(QStringLiteral("unreadable file"), locked);
        return;
    }
    // Root reads everything; the user "nobody" meets the permission bits as any user would.
    ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadOther | QFile::ExeOther));
    ChildLimits limits;
    limits.asNobody = true;
    const ChildResult result = runInChild([&] { return refusalProblems(locked); }, limits);
    if (result.limitsRefused)
        GTEST_SKIP() << "running as root and cannot become nobody here";
    ASSERT_TRUE(result.finished) << result.report.constData();
    EXPECT_TRUE(result.report.isEmpty()) << result.report.constData();
}

TEST_F(OpenPicture, PictureLargerThanTheAddressSpaceLeftIsRefusedBeforeDecoding)
{
    if (sanitizedBuild())
        GTEST_SKIP() << "the sanitizers reserve the address space an address-space limit would bound";
    QImage big(4000, 4000, QImage::Format_RGB32);
    big.fill(qRgb(10, 120, 200));
    const QString file = writeFile(path(QStringLiteral("big.jpg")), PictureCorpus::jpegOf(big));
    big = QImage();

    ChildLimits limits;
    limits.addressSpaceHeadroom = 48 * MiB; // the surface alone needs 61 MiB
    const ChildResult result = runInChild(
        [&] {
            QByteArray report;
            if (pictureMemoryBudget() * 2 > 48 * MiB)
                report += " the budget ignores the address-space limit";
            return report + refusalProblems(file);
        },
        limits);
    if (result.limitsRefused)
        GTEST_SKIP() << "the address space cannot be limited here";
    ASSERT_TRUE(result.finished) << result.report.constData();
    EXPECT_TRUE(result.report.isEmpty()) << result.report.constData();
    // Without the limit the same file loads.
    open(file);
    EXPECT_EQ(status(), StatusText::Loaded);
    EXPECT_EQ(form.Picture1.Picture().image().size(), QSize(4000, 4000));
}

// The formats only kelvo-gray reads, through the reader it asks: every good sample read whole, in colour and
// turned as it says, at 16 bits too where it has them, and refused by the window's reader; every bad one
// refused at either depth (a claim beyond the budget as such; a scrambled one at least read safely), in a child
// that must neither crash nor hang, taking no memory its header claims.
TEST(EveryFormat, GoodPicturesAreReadAndBadOnesRefusedWithinTheBudget)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const Sample &sample : PictureCorpus::otherFormatPictures()) {
        SCOPED_TRACE(sample.name.toStdString());
        const QByteArray file = QFile::encodeName(writeFile(dir.filePath(sample.name + sample.suffix), sample.bytes));
        EXPECT_EQ(readPicture(file).failure().kind, PictureError::NotAPicture);
        PictureReader reader(file, SourceFormatSet::All);
        const PictureResult<QImage> picture = reader.read();
        ASSERT_TRUE(picture.ok());
        const QImage &image = picture.value();
        ASSERT_EQ(image.size(), sample.size);
        const int tolerance = sample.lossless ? 0 : 60;
        // The top band is red, turned to the right side when the picture is turned right.
        const QPoint red = sample.size.width() < sample.size.height() ? QPoint(image.width() - 1, image.height() / 2)
                                                                      : QPoint(image.width() / 2, 0);
        EXPECT_TRUE(near(image.pixel(red), qRgb(255, 0, 0), tolerance)) << std::hex << image.pixel(red);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 255);
        EXPECT_EQ(image.format(),
                  qAlpha(image.pixel(0, image.height() - 1)) < 255 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (!sample.name.contains(QLatin1String("-16")))
            continue;
        // Such a picture's levels are 8-bit ones × 257: it shows the bands exactly, and asked for 16 bits gives
        // them, turned alike.
        const QSize stored = sample.size.width() < sample.size.height() ? sample.size.transposed() : sample.size;
        QImage shown = PictureCorpus::bandedImage(stored.width(), stored.height());
        if (stored != sample.size)
            shown = shown.transformed(QTransform().rotate(90));
        EXPECT_EQ(image, shown);
        PictureReader deepReader(file, SourceFormatSet::All);
        const PictureResult<QImage> deep = deepReader.read(SampleDepth::Sixteen);
        ASSERT_TRUE(deep.ok());
        EXPECT_EQ(deep.value().depth(), 64);
        EXPECT_EQ(deep.value().convertToFormat(QImage::Format_RGB32), shown);
    }
    for (const Sample &sample : PictureCorpus::badOtherFormatPictures()) {
        const QByteArray file = QFile::encodeName(writeFile(dir.filePath(sample.name + sample.suffix), sample.bytes));
        ChildLimits limits;
        limits.timeoutSeconds = 30;
        const ChildResult result = runInChild(
            [&] {
                const qint64 residentBefore = procStatusBytes("VmRSS");
                QByteArray problems;
                for (const SampleDepth depth : {SampleDepth::Eight, SampleDepth::Sixteen}) {
                    PictureReader reader(file, SourceFormatSet::All);
                    const PictureResult<QSize> size = reader.inspect(PictureCorpus::SampleBudget);
                    const PictureResult<QImage> picture =
                        size ? reader.read(depth) : PictureResult<QImage>(size.failure());
                    if (picture.ok() && !sample.name.contains(QLatin1String("scrambled")))
                        problems += " read";
                    else if (sample.name.contains(QLatin1String("claims"))
                             && picture.failure().kind != PictureError::OutOfMemory)
                        problems += " refused for another reason than its size";
                }
                const qint64 grown = procStatusBytes("VmHWM") - residentBefore;
                if (grown > RefusalMemory)
                    problems += " took " + QByteArray::number(grown / MiB) + " MiB";
                return problems;
            },
            limits);
        EXPECT_TRUE(result.finished) << qPrintable(sample.name) << (result.timedOut ? ": hangs" : ": crashed");
        EXPECT_TRUE(result.report.isEmpty()) << qPrintable(sample.name) << ':' << result.report.constData();
    }
}

} // namespace
