#pragma once

#include <QRect>

// The window description gives positions and sizes in twips, 15 to a pixel at 96 dots per inch.
namespace WindowDescription {

constexpr int pixels(int twips)
{
    return (twips + 7) / 15;
}

constexpr QRect fromTwips(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

inline constexpr QSize ClientSize{pixels(7215), pixels(9630)};

} // namespace WindowDescription
