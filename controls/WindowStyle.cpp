#include "WindowStyle.h"

#include <QVariant>
#include <QWidget>

namespace {

const char *const StyleProperty = "_kelvo_window_style";

void applyStyle(QWidget *window, qint32 style)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION)
        flags |= Qt::WindowTitleHint;
    if (style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    if (style & WS_MAXIMIZEBOX)
        flags |= Qt::WindowMaximizeButtonHint;

    const bool wasVisible = window->isVisible();
    if (window->windowFlags() != flags)
        window->setWindowFlags(flags);
    // Without a sizing border the window manager is told that the window has exactly one size.
    if (style & WS_THICKFRAME) {
        window->setMinimumSize(0, 0);
        window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        window->setFixedSize(window->size());
    }
    if (wasVisible && !window->isVisible())
        window->show();
}

} // namespace

void initWindowStyle(HWND window, qint32 style)
{
    SetWindowLongA(window, GWL_STYLE, style);
}

qint32 GetWindowLongA(HWND window, qint32 index)
{
    if (!window || index != GWL_STYLE)
        return 0;
    return window->property(StyleProperty).toInt();
}

qint32 SetWindowLongA(HWND window, qint32 index, qint32 newLong)
{
    if (!window || index != GWL_STYLE)
        return 0;
    const qint32 previous = GetWindowLongA(window, index);
    window->setProperty(StyleProperty, newLong);
    applyStyle(window, newLong);
    return previous;
}
