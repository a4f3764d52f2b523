// Writes the fuzzers' starting corpora from pictures and skins made here: nothing is downloaded.
// Usage: kelvo_fuzz_seeds <folder>  → <folder>/load_picture/…, <folder>/skin_file/…
#include "tests/hostile/FormatCorpus.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool writeSeed(const QDir &folder, const QByteArray &bytes)
{
    // Named by content, as libFuzzer names what it adds, so that runs never pile up copies.
    const QString name = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
    QFile file(folder.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QList<QByteArray> skinSeeds(const QByteArray &skin)
{
    QList<QByteArray> seeds{skin};
    seeds << QByteArray(skin).replace("\n", "\r\n");
    seeds << QByteArray("\xEF\xBB\xBF") + skin;
    seeds << QByteArray(skin).replace("kelvo-skin 1", "kelvo-skin 2");
    seeds << QByteArray(skin).replace(" = ", "\t=\t");
    seeds << skin.left(skin.size() / 2);
    seeds << QByteArray("kelvo-skin 1\n# only a comment\n");
    seeds << QByteArray("kelvo-skin 1\nwindow.background = #AbCdEf   # trailing comment\n");
    seeds << QByteArray("kelvo-skin 1\nwindow.background = #abc\n");
    return seeds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir root(QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1])));
    const QDir pictures(root.filePath(QStringLiteral("load_picture")));
    const QDir skins(root.filePath(QStringLiteral("skin_file")));
    if (!root.mkpath(QStringLiteral("load_picture")) || !root.mkpath(QStringLiteral("skin_file")))
        return 1;

    int written = 0;
    for (const auto &sample : PictureCorpus::goodPictures() + PictureCorpus::badPictures()
                                  + PictureCorpus::otherFormatPictures() + PictureCorpus::badOtherFormatPictures())
        written += writeSeed(pictures, sample.bytes);
    QFile skinFile(QStringLiteral(KELVO_DEFAULT_SKIN));
    if (!skinFile.open(QIODevice::ReadOnly))
        return 1;
    for (const QByteArray &seed : skinSeeds(skinFile.readAll()))
        written += writeSeed(skins, seed);
    std::printf("%d seeds in %s\n", written, argv[1]);
    return 0;
}
