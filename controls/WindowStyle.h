#pragma once

#include <QtGlobal>

class QWidget;

// The window-style calls of the window manager layer. Each top-level window keeps a 32-bit style word;
// storing a new one gives the window the frame, buttons and sizing that the word's bits describe.
using HWND = QWidget *;

inline constexpr qint32 GWL_STYLE = -16;

inline constexpr qint32 WS_MAXIMIZEBOX = 0x00010000;
inline constexpr qint32 WS_MINIMIZEBOX = 0x00020000;
inline constexpr qint32 WS_THICKFRAME = 0x00040000; // the sizing border
inline constexpr qint32 WS_SYSMENU = 0x00080000;
inline constexpr qint32 WS_DLGFRAME = 0x00400000;
inline constexpr qint32 WS_BORDER = 0x00800000;
inline constexpr qint32 WS_CAPTION = WS_BORDER | WS_DLGFRAME;
inline constexpr qint32 WS_CLIPCHILDREN = 0x02000000;
inline constexpr qint32 WS_CLIPSIBLINGS = 0x04000000;

// Gives a window its first style, as its window description has it, and applies it.
void initWindowStyle(HWND window, qint32 style);

// Returns the value at `index` (only GWL_STYLE is kept); 0 for another index or no window.
qint32 GetWindowLongA(HWND window, qint32 index);
// Stores the value at `index` and returns the previous one.
qint32 SetWindowLongA(HWND window, qint32 index, qint32 newLong);
