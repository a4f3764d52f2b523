#include "IconPainter.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

// The outlines below are drawn in a 100 × 100 box; paint() scales them to the icon's size.

QList<QRgb> IconPainter::greyPalette()
{
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.append(qRgb(i, i, i));
    return palette;
}

QPainterPath IconPainter::stemPath()
{
    QPainterPath path;
    // A tall tongue leaning right with a smaller one licking up on its left.
    path.moveTo(15, 96);
    path.cubicTo(11, 76, 18, 58, 15, 44);
    path.cubicTo(13, 36, 12, 28, 7, 19);
    path.cubicTo(16, 24, 20, 30, 21, 35);
    path.cubicTo(20, 22, 24, 10, 32, 1);
    path.cubicTo(31, 14, 40, 24, 40, 40);
    path.cubicTo(40, 60, 38, 80, 41, 96);
    path.quadTo(28, 99, 15, 96);
    path.closeSubpath();
    return path;
}

QPainterPath IconPainter::armPath()
{
    QPainterPath path;
    path.moveTo(34, 54);
    path.cubicTo(52, 46, 66, 34, 73, 18);
    path.cubicTo(76, 10, 79, 6, 86, 1);
    path.cubicTo(83, 11, 85, 19, 93, 25);
    path.cubicTo(84, 30, 78, 46, 62, 58);
    path.lineTo(36, 74);
    path.closeSubpath();
    return path;
}

QPainterPath IconPainter::legPath()
{
    // The leg runs down to the right and its end licks back upwards.
    QPainterPath path;
    path.moveTo(38, 60);
    path.cubicTo(56, 60, 70, 74, 78, 82);
    path.cubicTo(85, 76, 87, 68, 85, 55);
    path.cubicTo(96, 68, 97, 86, 90, 96);
    path.lineTo(66, 96);
    path.cubicTo(58, 86, 48, 78, 38, 76);
    path.closeSubpath();
    return path;
}

// A lighter tongue inside the stem, the hot core of the flame; only drawn where there is room.
QPainterPath IconPainter::corePath()
{
    QPainterPath path;
    path.moveTo(22, 92);
    path.cubicTo(20, 74, 27, 56, 25, 40);
    path.cubicTo(29, 52, 33, 70, 32, 92);
    path.quadTo(27, 94, 22, 92);
    path.closeSubpath();
    return path;
}

QPainterPath IconPainter::markPath()
{
    return stemPath().united(armPath()).united(legPath()).simplified();
}

QImage IconPainter::paint(int size) const
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    // A dark rim keeps the mark readable on light and dark panels alike; under a pixel at
    // 16 × 16, where a full one would swallow the thin tongues.
    const qreal rimPixels = size / 22.0;
    const QPainterPath mark = markPath();

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Fit the whole mark, rim included, inside the square with a little air around it.
    const QRectF bounds = mark.boundingRect();
    const qreal room = size - 2 * rimPixels - size / 32.0;
    const qreal scale = room / std::max(bounds.width(), bounds.height());
    painter.translate(size / 2.0, size / 2.0);
    painter.scale(scale, scale);
    painter.translate(-bounds.center());

    QLinearGradient body(0, bounds.top(), 0, bounds.bottom());
    body.setColorAt(0.0, QColor(0xf2, 0xf2, 0xf2));
    body.setColorAt(0.55, QColor(0xa8, 0xa8, 0xa8));
    body.setColorAt(1.0, QColor(0x6a, 0x6a, 0x6a));
    painter.fillPath(mark, body);

    if (size >= 32) {
        // Hottest at the base, fading out towards the tip.
        const QPainterPath core = corePath();
        QLinearGradient glow(0, core.boundingRect().top(), 0, core.boundingRect().bottom());
        glow.setColorAt(0.0, QColor(0xf0, 0xf0, 0xf0, 0));
        glow.setColorAt(1.0, QColor(0xf0, 0xf0, 0xf0, 190));
        painter.fillPath(core, glow);
    }

    painter.strokePath(mark,
                       QPen(QColor(0x2a, 0x2a, 0x2a), rimPixels / scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.end();
    return image;
}
