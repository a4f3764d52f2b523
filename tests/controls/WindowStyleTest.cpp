#include "controls/WindowStyle.h"

#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

constexpr qint32 Sizable = WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;

bool resizable(const QWidget &window)
{
    return window.minimumSize() != window.maximumSize();
}

TEST(WindowStyle, SizingBorderDecidesWhetherTheSizeIsFixed)
{
    QWidget window;
    window.resize(300, 200);
    initWindowStyle(&window, Sizable);
    EXPECT_EQ(GetWindowLongA(&window, GWL_STYLE), Sizable);
    EXPECT_TRUE(resizable(window));

    EXPECT_EQ(SetWindowLongA(&window, GWL_STYLE, Sizable & qint32(0xFFFBFFFF)), Sizable);
    EXPECT_FALSE(resizable(window));
    EXPECT_EQ(window.size(), QSize(300, 200));

    // Given back, the border lets the window be resized again.
    SetWindowLongA(&window, GWL_STYLE, Sizable);
    EXPECT_TRUE(resizable(window));
}

TEST(WindowStyle, OtherBitsKeepTheirMeaning)
{
    QWidget window;
    initWindowStyle(&window, Sizable);
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

    SetWindowLongA(&window, GWL_STYLE, Sizable & ~WS_THICKFRAME);
    EXPECT_EQ(window.windowFlags(), flags);

    SetWindowLongA(&window, GWL_STYLE, (Sizable | WS_MAXIMIZEBOX) & ~WS_MINIMIZEBOX & ~WS_SYSMENU);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST(WindowStyle, ShownWindowStaysShown)
{
    QWidget window;
    window.resize(120, 80);
    initWindowStyle(&window, Sizable);
    window.show();
    QCoreApplication::processEvents();
    SetWindowLongA(&window, GWL_STYLE, Sizable & ~WS_THICKFRAME);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(resizable(window));
}

TEST(WindowStyle, OnlyTheStyleIsKept)
{
    QWidget window;
    initWindowStyle(&window, Sizable);
    EXPECT_EQ(GetWindowLongA(&window, -20), 0);
    EXPECT_EQ(SetWindowLongA(&window, -20, 1), 0);
    EXPECT_EQ(GetWindowLongA(&window, GWL_STYLE), Sizable);
    EXPECT_EQ(GetWindowLongA(nullptr, GWL_STYLE), 0);
}

} // namespace
