#include "WorkflowFixture.h"

#include "controls/App.h"
#include "tests/support/Gdi.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QtEndian>

#include <sys/wait.h>
#include <unistd.h>

void WorkflowTest::SetUp()
{
    ASSERT_TRUE(m_folder.isValid());
    App::setPathForTesting(qEnvironmentVariable("KELVO_PROGRAM_DIR", QDir::currentPath()));
    CommonDialog::setScript([this](const CommonDialog::Request &request) {
        dialogRequests << request;
        if (m_answers.empty()) {
            ADD_FAILURE() << "a dialog nobody expected: " << request.title.toStdString();
            return CommonDialog::Answer::cancel();
        }
        const CommonDialog::Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
    setMessageBoxScript([this](const MessageBoxRequest &request) {
        messageBoxes << request;
        return MsgBoxResult::vbOK;
    });
    form = std::make_unique<Form1>();
    form->Form_Load();
}

void WorkflowTest::TearDown()
{
    EXPECT_TRUE(m_answers.empty()) << "dialog answers left unused";
    form.reset();
    CommonDialog::setScript({});
    setMessageBoxScript({});
    App::setPathForTesting({});
}

void WorkflowTest::answerDialogs(std::initializer_list<CommonDialog::Answer> answers)
{
    m_answers.insert(m_answers.end(), answers);
}

QString WorkflowTest::status() const
{
    return form->St1.Panels(2).Text();
}

QStringList WorkflowTest::folderEntries() const
{
    return QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

void WorkflowTest::open(const QString &file)
{
    answerDialogs({choose(file)});
    form->Command2.click();
}

void WorkflowTest::save(const QString &target, int filterIndex)
{
    answerDialogs({choose(target, filterIndex)});
    form->Command3.click();
}

QImage colourPattern(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int red = (x * 53 + seed * 7 + 19) & 255;
            const int green = (y * 29 + seed + 101) & 255;
            const int blue = (x * 11 + y * 17 + 37) & 255;
            if (red == green && green == blue)
                red ^= 0x40;
            image.setPixel(x, y, qRgb(red, green, blue));
        }
    }
    return image;
}

QString writePicture(const QString &path, const QImage &image)
{
    const bool jpeg = path.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive);
    EXPECT_TRUE(image.save(path, jpeg ? "JPEG" : "BMP", jpeg ? 90 : -1)) << path.toStdString();
    return path;
}

QList<qint32> surfaceColours(PictureBox &box)
{
    const HDC dc = box.hDC();
    QList<qint32> colours;
    for (int y = 0; y < dc->height(); ++y)
        for (int x = 0; x < dc->width(); ++x)
            colours << GetPixel(dc, x, y);
    return colours;
}

QList<qint32> colourValues(const QImage &source)
{
    QImage image = source.convertToFormat(QImage::Format_RGB32);
    const DeviceContext dc(&image);
    QList<qint32> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours << GetPixel(const_cast<DeviceContext *>(&dc), x, y);
    return colours;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int bmpBitCount(const QString &path)
{
    const QByteArray bytes = fileBytes(path);
    // BITMAPFILEHEADER (14 bytes), then BITMAPINFOHEADER: size (4), width (4), height (4), planes (2), bit count.
    if (bytes.size() < 30 || !bytes.startsWith("BM"))
        return 0;
    return qFromLittleEndian<quint16>(bytes.constData() + 28);
}

QByteArray formatByContent(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.format();
}

int runInChild(const std::function<int()> &body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body()); // no destructors, no test report from the copy
    if (child < 0)
        return -1;
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
