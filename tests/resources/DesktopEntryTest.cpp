#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

const QString EntryPath = QStringLiteral(KELVO_RESOURCES_DIR "/org.example.kelvo.desktop");

// Keys of the [Desktop Entry] group; a key given twice is recorded as empty so the test notices.
QMap<QString, QString> desktopEntry()
{
    QMap<QString, QString> keys;
    QFile file(EntryPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inGroup || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        keys.insert(key, keys.contains(key) ? QString() : line.mid(equals + 1).trimmed());
    }
    return keys;
}

bool hasChinese(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff)
            return true;
    }
    return false;
}

} // namespace

TEST(DesktopEntry, LaunchesKelvoFromTheGraphicsMenu)
{
    const auto keys = desktopEntry();
    ASSERT_FALSE(keys.isEmpty()) << EntryPath.toStdString();
    EXPECT_EQ(keys.value("Type"), "Application");
    EXPECT_EQ(keys.value("Name"), QStringLiteral("Kelvo 图片去色"));
    EXPECT_EQ(keys.value("Name[zh_CN]"), QStringLiteral("Kelvo.图片去色黑白工具"));
    EXPECT_EQ(keys.value("Exec"), "kelvo %f");
    EXPECT_EQ(keys.value("Icon"), "kelvo");
    EXPECT_EQ(keys.value("Terminal"), "false");
    EXPECT_EQ(keys.value("Categories"), "Graphics;2DGraphics;RasterGraphics;");
    EXPECT_EQ(keys.value("MimeType"), "image/jpeg;image/bmp;");
}

TEST(DesktopEntry, DescribesItselfInChineseWithEnglishFallback)
{
    const auto keys = desktopEntry();
    const QString english = keys.value("Comment");
    const QString chinese = keys.value("Comment[zh_CN]");
    EXPECT_FALSE(english.isEmpty());
    EXPECT_FALSE(hasChinese(english));
    EXPECT_TRUE(hasChinese(chinese)) << chinese.toStdString();
}

TEST(DesktopEntry, PassesTheFreedesktopValidator)
{
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    QProcess process;
    process.start(validator, {EntryPath});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QByteArray output = process.readAllStandardOutput() + process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), 0) << output.toStdString();
    EXPECT_FALSE(output.contains("error:")) << output.toStdString();
}
