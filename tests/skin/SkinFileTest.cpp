#include "skin/SkinFile.h"
#include "tests/skin/SkinTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double luminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QByteArray replaced(QByteArray bytes, const QByteArray &from, const QByteArray &to)
{
    return bytes.replace(from, to);
}

} // namespace

TEST(SkinFile, DefaultSkinParsesAndEveryTextIsReadable)
{
    const QByteArray bytes = defaultSkinBytes();
    ASSERT_FALSE(bytes.isEmpty()) << qPrintable(defaultSkinPath());
    const SkinParseResult result = parseSkin(bytes);
    ASSERT_EQ(result.error, SkinError::Ok) << "line " << result.line;

    const Skin &s = result.skin;
    const struct
    {
        const char *what;
        QColor text, background;
    } pairs[] = {
        {"window text", s.windowText, s.windowBackground},
        {"disabled text", s.disabledText, s.windowBackground},
        {"input text", s.inputText, s.inputBackground},
        {"highlighted text", s.highlightText, s.highlight},
        {"button text", s.buttonText, s.buttonBackground},
        {"button text, hovered", s.buttonText, s.buttonHover},
        {"button text, pressed", s.buttonText, s.buttonPressed},
        {"disabled button text", s.buttonDisabledText, s.buttonDisabledBackground},
        {"frame title on the frame", s.frameTitle, s.frameBackground},
        {"frame title on the window", s.frameTitle, s.windowBackground},
        {"text inside a frame", s.frameText, s.frameBackground},
        {"status panel text", s.statusText, s.statusBackground},
    };
    for (const auto &pair : pairs)
        EXPECT_GE(contrast(pair.text, pair.background), 4.5) << pair.what;
}

TEST(SkinFile, AcceptsCommentsLineEndingsAndLayoutFreedom)
{
    QByteArray bytes = defaultSkinBytes();
    bytes.replace("\n", "\r\n");
    bytes.replace("kelvo-skin 1", "  # leading comment\r\n\r\n\tkelvo-skin\t1   # format\r\n");
    bytes.replace("window.text       = #1a1f3d", "window.text=#1A1F3D#glued");
    // A '#' glued to the value is part of the value, not a comment...
    EXPECT_EQ(parseSkin(bytes).error, SkinError::BadColour);
    // ...while a comment after a blank is fine, in any case of hex digits, after a byte-order mark.
    bytes.replace("window.text=#1A1F3D#glued", "window.text=#1A1F3D   # ok");
    bytes.prepend("\xEF\xBB\xBF");
    const SkinParseResult result = parseSkin(bytes);
    ASSERT_EQ(result.error, SkinError::Ok) << "line " << result.line;
    EXPECT_EQ(result.skin.windowText, QColor(0x1a, 0x1f, 0x3d));
}

TEST(SkinFile, RejectsBadFilesWithTheirOwnCodeAndLine)
{
    const QByteArray good = defaultSkinBytes();
    const int headerLine = 1;
    const int windowTextLine = good.left(good.indexOf("window.text")).count('\n') + 1;
    const struct
    {
        const char *what;
        QByteArray bytes;
        SkinError error;
        int line;
    } cases[] = {
        {"no bytes", QByteArray(), SkinError::FileEmpty, 0},
        {"only comments", "# nothing\n\n   # here\n", SkinError::FileEmpty, 0},
        {"NUL byte", replaced(good, "#ffffff", QByteArray("#ff\0ff", 6)), SkinError::NotText, 0},
        {"invalid UTF-8", good + "# \xC3\x28\n", SkinError::NotText, 0},
        {"control character", replaced(good, "Window", "Win\x1b[0mdow"), SkinError::NotText, 0},
        {"PNG signature", QByteArray("\x89PNG\r\n\x1a\n", 8), SkinError::NotText, 0},
        {"too large", good + QByteArray(MaxSkinFileSize, '#'), SkinError::FileTooLarge, 0},
        {"no header", replaced(good, "kelvo-skin 1", ""), SkinError::MissingHeader, windowTextLine - 1},
        {"other header", replaced(good, "kelvo-skin 1", "skin 1"), SkinError::MissingHeader, headerLine},
        {"header without version", replaced(good, "kelvo-skin 1", "kelvo-skin"), SkinError::MissingHeader, 1},
        {"newer version", replaced(good, "kelvo-skin 1", "kelvo-skin 2"), SkinError::UnknownVersion, 1},
        {"version not a number", replaced(good, "kelvo-skin 1", "kelvo-skin 1.0"), SkinError::UnknownVersion, 1},
        {"no equals sign", replaced(good, "window.text       =", "window.text"), SkinError::MalformedLine,
         windowTextLine},
        {"empty key", replaced(good, "window.text", ""), SkinError::MalformedLine, windowTextLine},
        {"blank inside key", replaced(good, "window.text", "window text"), SkinError::MalformedLine, windowTextLine},
        {"junk after value", replaced(good, "#1a1f3d\ndisabled", "#1a1f3d x\ndisabled"), SkinError::MalformedLine,
         windowTextLine},
        {"unknown key", replaced(good, "window.text", "window.txt"), SkinError::UnknownKey, windowTextLine},
        {"duplicate key", good + "window.text = #000000\n", SkinError::DuplicateKey, int(good.count('\n')) + 1},
        {"short colour", replaced(good, "#1a1f3d\ndisabled", "#123\ndisabled"), SkinError::BadColour, windowTextLine},
        {"colour name", replaced(good, "#1a1f3d\ndisabled", "black\ndisabled"), SkinError::BadColour, windowTextLine},
        {"not hex", replaced(good, "#1a1f3d\ndisabled", "#1a1f3g\ndisabled"), SkinError::BadColour, windowTextLine},
        {"too long", replaced(good, "#1a1f3d\ndisabled", "#1a1f3d0\ndisabled"), SkinError::BadColour, windowTextLine},
        {"no value", replaced(good, "#1a1f3d\ndisabled", "\ndisabled"), SkinError::BadColour, windowTextLine},
        {"missing key", replaced(good, "status.border", "# status.border"), SkinError::MissingKey, 0},
    };
    for (const auto &c : cases) {
        const SkinParseResult result = parseSkin(c.bytes);
        EXPECT_EQ(result.error, c.error) << c.what;
        EXPECT_EQ(result.line, c.line) << c.what;
    }
}

TEST(SkinFile, EveryTruncationFailsAndNoneCrashes)
{
    const QByteArray good = defaultSkinBytes();
    const qsizetype lastValueEnd = good.trimmed().size();
    ASSERT_EQ(parseSkin(good.left(lastValueEnd)).error, SkinError::Ok);
    for (qsizetype length = 0; length < lastValueEnd; ++length)
        EXPECT_NE(parseSkin(good.left(length)).error, SkinError::Ok) << "first " << length << " bytes";
}
