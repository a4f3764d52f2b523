#pragma once

#include <QImage>
#include <QList>
#include <QPainterPath>

// Draws the program's mark: a "K" whose strokes rise and taper like flames, all in greys,
// on a transparent ground. Greys only, so the 256-colour icon keeps every shade exactly.
class IconPainter
{
public:
    QImage paint(int size) const;

    // The greys the mark is drawn with fit a plain grey ramp.
    static QList<QRgb> greyPalette();

private:
    static QPainterPath markPath();
    static QPainterPath stemPath();
    static QPainterPath armPath();
    static QPainterPath legPath();
    static QPainterPath corePath();
};
