// Redraws the program's pictures: the title banner, the window icon and the desktop icons.
// Run through scripts/make-resources; the results are committed under resources/.

#include "BannerPainter.h"
#include "IcoWriter.h"
#include "IconPainter.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTextStream>

namespace {

const QString Caption = QStringLiteral("Kelvo.图片去色黑白工具");
constexpr int BannerQuality = 92;
constexpr int WindowIconSizes[] = {16, 24, 32, 48};
constexpr int DesktopIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool report(bool ok, const QString &path, const QString &error)
{
    if (ok)
        QTextStream(stdout) << "wrote " << QDir::toNativeSeparators(path) << Qt::endl;
    else
        err() << "cannot write " << QDir::toNativeSeparators(path) << ": " << error << Qt::endl;
    return ok;
}

bool writeBanner(const QDir &out)
{
    const QString path = out.filePath(QStringLiteral("banner.jpg"));
    QImageWriter writer(path, "jpeg");
    writer.setQuality(BannerQuality);
    // Plain baseline JPEG: some viewers and our loader's checks expect nothing fancier.
    writer.setProgressiveScanWrite(false);
    writer.setOptimizedWrite(false);
    const bool ok = writer.write(BannerPainter(Caption).paint());
    return report(ok, path, writer.errorString());
}

bool writeWindowIcon(const QDir &out)
{
    const IconPainter painter;
    IcoWriter ico(IconPainter::greyPalette());
    for (int size : WindowIconSizes)
        ico.addImage(painter.paint(size));
    const QString path = out.filePath(QStringLiteral("kelvo.ico"));
    QString error;
    const bool ok = ico.save(path, &error);
    return report(ok, path, error);
}

bool writeDesktopIcons(const QDir &out)
{
    const IconPainter painter;
    bool ok = true;
    for (int size : DesktopIconSizes) {
        const QString folder = QStringLiteral("icons/hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(folder)) {
            ok = report(false, out.filePath(folder), QStringLiteral("cannot create folder"));
            continue;
        }
        const QString path = out.filePath(folder + QStringLiteral("/kelvo.png"));
        QImageWriter writer(path, "png");
        ok = report(writer.write(painter.paint(size)), path, writer.errorString()) && ok;
    }
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Redraws Kelvo's banner and icons."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The resources folder to write into."));
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        err() << parser.helpText();
        return 2;
    }
    const QDir out(args.first());
    if (!out.exists()) {
        err() << "no such folder: " << QDir::toNativeSeparators(out.path()) << Qt::endl;
        return 2;
    }

    bool ok = writeBanner(out);
    ok = writeWindowIcon(out) && ok;
    ok = writeDesktopIcons(out) && ok;
    return ok ? 0 : 1;
}
