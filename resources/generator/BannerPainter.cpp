#include "BannerPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <cmath>

namespace {

// A fixed seed keeps the sparkles, and so the committed picture, the same on every run.
constexpr quint32 SparkleSeed = 0x6b656c76;
constexpr int SparkleCount = 22;
constexpr qreal Margin = 8;
constexpr qreal OutlineWidth = 3.0;

QPainterPath sparklePath(QPointF centre, qreal radius)
{
    // Four long points with a pinched waist read as a twinkle even at a few pixels.
    QPainterPath path;
    const qreal waist = radius * 0.22;
    path.moveTo(centre.x(), centre.y() - radius);
    path.quadTo(centre.x() + waist, centre.y() - waist, centre.x() + radius, centre.y());
    path.quadTo(centre.x() + waist, centre.y() + waist, centre.x(), centre.y() + radius);
    path.quadTo(centre.x() - waist, centre.y() + waist, centre.x() - radius, centre.y());
    path.quadTo(centre.x() - waist, centre.y() - waist, centre.x(), centre.y() - radius);
    path.closeSubpath();
    return path;
}

} // namespace

BannerPainter::BannerPainter(const QString &caption)
    : m_caption(caption)
{
}

QImage BannerPainter::paint() const
{
    QImage image(Size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paintGround(painter);
    paintSparkles(painter);
    paintCaption(painter);
    painter.end();
    return image;
}

void BannerPainter::paintGround(QPainter &painter) const
{
    const QRectF area(QPointF(0, 0), QSizeF(Size));
    QLinearGradient sky(area.topLeft(), area.bottomRight());
    sky.setColorAt(0.0, QColor(0x0b, 0x16, 0x4a));
    sky.setColorAt(0.55, QColor(0x2a, 0x1a, 0x6e));
    sky.setColorAt(1.0, QColor(0x4b, 0x1d, 0x7a));
    painter.fillRect(area, sky);

    // A soft violet glow behind the lettering lifts it off the ground.
    QRadialGradient glow(area.center(), area.width() * 0.45);
    glow.setColorAt(0.0, QColor(0x8a, 0x5c, 0xd6, 110));
    glow.setColorAt(1.0, QColor(0x8a, 0x5c, 0xd6, 0));
    painter.save();
    painter.translate(area.center());
    painter.scale(1.0, area.height() / area.width() * 2.2);
    painter.translate(-area.center());
    painter.fillRect(QRectF(area.left(), area.center().y() - area.width() / 2, area.width(), area.width()), glow);
    painter.restore();

    // A thin bright rule along both edges frames the strip.
    painter.fillRect(QRectF(0, 0, area.width(), 1), QColor(0x9d, 0x8c, 0xff, 120));
    painter.fillRect(QRectF(0, area.height() - 1, area.width(), 1), QColor(0x05, 0x08, 0x20, 200));
}

void BannerPainter::paintSparkles(QPainter &painter) const
{
    QRandomGenerator random(SparkleSeed);
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < SparkleCount; ++i) {
        const QPointF centre(random.bounded(qreal(Size.width())), random.bounded(qreal(Size.height())));
        const bool large = i % 5 == 0;
        const qreal radius = large ? 4.0 + random.bounded(2.5) : 1.5 + random.bounded(2.0);
        const int alpha = 130 + random.bounded(110);

        QRadialGradient halo(centre, radius * 1.6);
        halo.setColorAt(0.0, QColor(0xd8, 0xd0, 0xff, alpha / 2));
        halo.setColorAt(1.0, QColor(0xd8, 0xd0, 0xff, 0));
        painter.setBrush(halo);
        painter.drawEllipse(centre, radius * 1.6, radius * 1.6);

        painter.setBrush(QColor(0xff, 0xff, 0xff, alpha));
        painter.drawPath(sparklePath(centre, radius));
    }
    painter.restore();
}

QFont BannerPainter::captionFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Source Han Sans SC"), QStringLiteral("Droid Sans Fallback")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The largest caption that still fits inside the strip's margins, centred.
QPainterPath BannerPainter::fittedCaption() const
{
    const QRectF room = QRectF(QPointF(0, 0), QSizeF(Size)).adjusted(Margin, Margin, -Margin, -Margin);
    QPainterPath path;
    for (int pixelSize = int(room.height()); pixelSize > 8; --pixelSize) {
        path = QPainterPath();
        path.addText(0, 0, captionFont(pixelSize), m_caption);
        const QRectF bounds = path.boundingRect().adjusted(-OutlineWidth, -OutlineWidth, OutlineWidth, OutlineWidth);
        if (bounds.width() <= room.width() && bounds.height() <= room.height())
            break;
    }
    const QRectF bounds = path.boundingRect();
    path.translate(room.center() - bounds.center());
    return path;
}

void BannerPainter::paintCaption(QPainter &painter) const
{
    const QPainterPath caption = fittedCaption();
    const QRectF bounds = caption.boundingRect();

    painter.save();
    // Drop shadow first, so the outline stays crisp on top of it.
    painter.translate(1.5, 2.0);
    painter.fillPath(caption, QColor(0x05, 0x02, 0x18, 170));
    painter.restore();

    QPen outline(QColor(0xff, 0xf1, 0xe6), OutlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.strokePath(caption, outline);

    QLinearGradient red(bounds.topLeft(), bounds.bottomLeft());
    red.setColorAt(0.0, QColor(0xff, 0x5a, 0x4a));
    red.setColorAt(0.5, QColor(0xe5, 0x1c, 0x23));
    red.setColorAt(1.0, QColor(0xa8, 0x0c, 0x18));
    painter.fillPath(caption, red);
}
