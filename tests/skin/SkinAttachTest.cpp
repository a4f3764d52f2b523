#include "skin/SkinError.h"
#include "skin/SkinFile.h"
#include "skin/SkinH.h"
#include "tests/skin/SkinTestFiles.h"

#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLibrary>
#include <QMainWindow>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

// Stands in for the program's status panel: the skin must reach it through its class name alone.
class StatusPanel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;
};

namespace {

int attach(const QString &path)
{
    return SkinH_AttachEx(path.toLocal8Bit().constData(), "");
}

Skin defaultSkin()
{
    return parseSkin(defaultSkinBytes()).skin;
}

// Every test starts from a look no skin would produce, so any change by a failed load shows.
class SkinAttach : public ::testing::Test
{
protected:
    static constexpr QColor MarkerColour{0x12, 0x34, 0x56};
    static inline const QString MarkerSheet = QStringLiteral("QLabel { color: #123456; }");

    void SetUp() override
    {
        QPalette palette;
        palette.setColor(QPalette::Window, MarkerColour);
        QApplication::setPalette(palette);
        qApp->setStyleSheet(MarkerSheet);
        m_style = QApplication::style();
        ASSERT_TRUE(m_dir.isValid());
    }

    void expectLookUnchanged(const char *what) const
    {
        EXPECT_EQ(QApplication::palette().color(QPalette::Window), MarkerColour) << what;
        EXPECT_EQ(qApp->styleSheet(), MarkerSheet) << what;
        EXPECT_EQ(QApplication::style(), m_style) << what;
    }

    QString write(const QString &name, const QByteArray &bytes) const
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return path;
    }

    QTemporaryDir m_dir;
    QStyle *m_style = nullptr;
};

QColor pixel(QWidget &widget, int x, int y)
{
    return widget.grab().toImage().pixelColor(x, y);
}

} // namespace

TEST_F(SkinAttach, DefaultSkinChangesTheLook)
{
    ASSERT_EQ(attach(defaultSkinPath()), 0);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), defaultSkin().windowBackground);
    EXPECT_TRUE(qApp->styleSheet().contains(u"StatusPanel"));
    EXPECT_FALSE(qApp->styleSheet().contains(u'@')) << "a colour placeholder was left in the style sheet";
    // The style sheet hides the base style behind its own; drop the sheet to see what lies under it.
    qApp->setStyleSheet(QString());
    EXPECT_EQ(QApplication::style()->name(), u"fusion");
}

TEST_F(SkinAttach, WidgetsThatAlreadyExistTakeTheSkin)
{
    QMainWindow window;
    window.resize(400, 300);
    auto *central = new QWidget(&window);
    window.setCentralWidget(central);
    auto *frame = new QGroupBox(QStringLiteral("原图"), central);
    frame->setGeometry(10, 10, 300, 200);
    auto *button = new QPushButton(QStringLiteral("转换"), frame);
    button->setGeometry(20, 40, 120, 32);
    auto *disabled = new QPushButton(QStringLiteral("保存"), frame);
    disabled->setGeometry(20, 90, 120, 32);
    disabled->setEnabled(false);
    auto *panel = new StatusPanel(QStringLiteral("就绪"), central);
    panel->setGeometry(10, 250, 150, 24);

    ASSERT_EQ(attach(defaultSkinPath()), 0);
    const Skin skin = defaultSkin();
    EXPECT_EQ(pixel(window, 380, 230), skin.windowBackground);
    EXPECT_EQ(pixel(*frame, 250, 150), skin.frameBackground);
    EXPECT_EQ(pixel(*button, 5, 16), skin.buttonBackground);
    EXPECT_EQ(pixel(*disabled, 5, 16), skin.buttonDisabledBackground);
    EXPECT_EQ(pixel(*panel, 2, 2), skin.statusBackground);
}

TEST_F(SkinAttach, EveryPaletteRoleTakesTheColourOfItsSkinField)
{
    // A skin whose every field has a colour of its own, so that a role painted from the wrong field shows.
    QByteArray file("kelvo-skin 1\n");
    QHash<QByteArray, QColor> colours;
    for (const SkinKey &key : skinKeys()) {
        const QColor colour(0x10 + 9 * int(colours.size()), 0xC0 - 5 * int(colours.size()), 0x37);
        colours.insert(key.name, colour);
        file += QByteArray(key.name) + " = " + colour.name().toLatin1() + '\n';
    }
    ASSERT_EQ(attach(write(QStringLiteral("distinct.she"), file)), 0);

    // What each field of a skin file colours: enabled controls, disabled ones, or both.
    enum Groups { Enabled, Disabled, Both };
    const struct
    {
        const char *field;
        QPalette::ColorRole role;
        Groups groups;
    } roles[] = {
        {"window.background", QPalette::Window, Both},     {"window.background", QPalette::Button, Both},
        {"window.text", QPalette::WindowText, Enabled},    {"window.text", QPalette::ButtonText, Enabled},
        {"disabled.text", QPalette::WindowText, Disabled}, {"disabled.text", QPalette::ButtonText, Disabled},
        {"disabled.text", QPalette::Text, Disabled},       {"disabled.text", QPalette::PlaceholderText, Both},
        {"input.background", QPalette::Base, Both},        {"input.background", QPalette::ToolTipBase, Both},
        {"input.text", QPalette::Text, Enabled},           {"input.text", QPalette::ToolTipText, Both},
        {"highlight", QPalette::Highlight, Both},          {"highlight", QPalette::Link, Both},
        {"highlight", QPalette::LinkVisited, Both},        {"highlight.text", QPalette::HighlightedText, Both},
        {"highlight.text", QPalette::BrightText, Both},    {"frame.background", QPalette::AlternateBase, Both},
    };
    const QPalette palette = QApplication::palette();
    for (const auto &r : roles) {
        ASSERT_TRUE(colours.contains(r.field)) << r.field;
        QList<QPalette::ColorGroup> groups;
        if (r.groups != Disabled)
            groups << QPalette::Active << QPalette::Inactive;
        if (r.groups != Enabled)
            groups << QPalette::Disabled;
        for (const QPalette::ColorGroup group : groups)
            EXPECT_EQ(palette.color(group, r.role).name(), colours[r.field].name())
                << r.field << " should colour role " << int(r.role) << " in group " << int(group);
    }
}

TEST_F(SkinAttach, BadSkinsFailWithTheirCodeAndChangeNothing)
{
    const QByteArray good = defaultSkinBytes();
    QFile huge(m_dir.filePath(QStringLiteral("huge.she")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(100 * 1024 * 1024));
    huge.close();

    const struct
    {
        const char *what;
        QString path;
        SkinError error;
    } cases[] = {
        {"missing file", m_dir.filePath(QStringLiteral("none.she")), SkinError::FileNotFound},
        {"empty path", QString(), SkinError::NoPath},
        {"folder", m_dir.path(), SkinError::NotAFile},
        {"empty file", write(QStringLiteral("empty.she"), {}), SkinError::FileEmpty},
        {"binary file", write(QStringLiteral("binary.she"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)),
         SkinError::NotText},
        {"huge file", huge.fileName(), SkinError::FileTooLarge},
        {"truncated", write(QStringLiteral("cut.she"), good.left(good.indexOf("#2b3a8f") + 4)), SkinError::BadColour},
        {"unknown version", write(QStringLiteral("v9.she"), QByteArray(good).replace("skin 1", "skin 9")),
         SkinError::UnknownVersion},
        {"bad colour", write(QStringLiteral("colour.she"), QByteArray(good).replace("#ffffff", "#fffff")),
         SkinError::BadColour},
        {"malformed line", write(QStringLiteral("line.she"), good + "button.text #ffffff\n"), SkinError::MalformedLine},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(attach(c.path), int(c.error)) << c.what;
        expectLookUnchanged(c.what);
    }
    EXPECT_EQ(SkinH_AttachEx(nullptr, nullptr), int(SkinError::NoPath));
    expectLookUnchanged("null path");
}

TEST_F(SkinAttach, SizeCapIsExact)
{
    QByteArray fits = defaultSkinBytes();
    fits.append(QByteArray(MaxSkinFileSize - fits.size() - 1, ' ')).append('\n');
    ASSERT_EQ(fits.size(), MaxSkinFileSize);
    EXPECT_EQ(attach(write(QStringLiteral("fits.she"), fits + " ")), int(SkinError::FileTooLarge));
    expectLookUnchanged("one byte over the cap");
    EXPECT_EQ(attach(write(QStringLiteral("fits.she"), fits)), 0);
}

TEST_F(SkinAttach, ChinesePathWithSpacesWorks)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("我的 皮肤")));
    const QString path = write(QStringLiteral("我的 皮肤/默认 皮肤.she"), defaultSkinBytes());
    EXPECT_EQ(attach(path), 0);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), defaultSkin().windowBackground);
}

TEST_F(SkinAttach, RefusesCallsFromOtherThreads)
{
    int result = -1;
    std::thread([&result] { result = attach(defaultSkinPath()); }).join();
    EXPECT_EQ(result, int(SkinError::WrongThread));
    expectLookUnchanged("call from a worker thread");
}

TEST(SkinLibrary, ProgramCanBindTheEntryPointByName)
{
    // As the program does: the bare name in its folder, QLibrary adds "lib" and ".so".
    QLibrary library(programDir() + QStringLiteral("/SkinH_VB6"));
    ASSERT_TRUE(library.load()) << qPrintable(library.errorString());
    const auto attachEx = reinterpret_cast<SkinAttachExFunction>(library.resolve(SkinAttachExSymbol));
    ASSERT_NE(attachEx, nullptr);
    EXPECT_EQ(attachEx("/nonexistent/skinh.she", ""), int(SkinError::FileNotFound));
    // Internals stay hidden, so they cannot clash with the program's own symbols.
    EXPECT_EQ(library.resolve("_Z9parseSkinRK10QByteArray"), nullptr);
}

#include "SkinAttachTest.moc"
