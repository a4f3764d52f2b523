// The pictures of the end-to-end test: makes the colour JPEG that the test opens in the program, and checks the
// bitmap that the program saved against it.
//
//   kelvo_e2e_pictures make-source <file.jpg> <width> <height>
//   kelvo_e2e_pictures check-grey <source.jpg> <saved.bmp>
//
// Exit status 0 when done or matching, 1 when the check fails, 2 on wrong use.

#include "BmpFile.h"
#include "GreyComparison.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTextStream>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Red across, green down, blue along the diagonal, with saturated blocks, so that a swapped or dropped channel
// gives a wrong grey somewhere.
QImage colourSource(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int r = x * 255 / qMax(1, width - 1);
            int g = y * 255 / qMax(1, height - 1);
            int b = (x + 2 * y) % 256;
            if ((x / 16 + y / 16) % 5 == 0) {
                r = 255;
                g = 40;
                b = 0;
            }
            image.setPixel(x, y, qRgb(r, g, b));
        }
    }
    return image;
}

// The program opens JPEG files by their content, turned upright by their EXIF orientation, as 32-bit RGB.
QImage decodeAsTheProgramDoes(const QString &path, QString *error)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image)) {
        *error = reader.errorString();
        return {};
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

int makeSource(const QString &path, int width, int height)
{
    if (width < 1 || height < 1) {
        out() << "make-source: the size must be positive\n";
        return 2;
    }
    if (!colourSource(width, height).save(path, "JPEG", 92)) {
        out() << "make-source: cannot write " << path << "\n";
        return 1;
    }
    out() << "made " << path << " (" << width << " x " << height << ")\n";
    return 0;
}

int checkGrey(const QString &sourcePath, const QString &savedPath)
{
    QString error;
    const QImage source = decodeAsTheProgramDoes(sourcePath, &error);
    if (source.isNull()) {
        out() << "check-grey: cannot decode the source " << sourcePath << ": " << error << "\n";
        return 1;
    }
    BmpFile saved;
    if (!saved.read(savedPath)) {
        out() << "check-grey: " << savedPath << " is not a 24-bit bitmap: " << saved.error() << "\n";
        return 1;
    }
    const GreyComparison comparison(source, saved.image());
    out() << "check-grey: " << savedPath << ": " << comparison.report() << "\n";
    return comparison.matches() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 5 && args.at(1) == QLatin1String("make-source"))
        return makeSource(args.at(2), args.at(3).toInt(), args.at(4).toInt());
    if (args.size() == 4 && args.at(1) == QLatin1String("check-grey"))
        return checkGrey(args.at(2), args.at(3));
    out() << "usage: kelvo_e2e_pictures make-source <file.jpg> <width> <height>\n"
             "       kelvo_e2e_pictures check-grey <source.jpg> <saved.bmp>\n";
    return 2;
}
