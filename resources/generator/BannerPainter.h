#pragma once

#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>

class QPainter;
class QPainterPath;

// Draws the title strip shown above the picture: the caption in red outlined lettering
// on a blue-to-violet night sky with a few sparkles.
class BannerPainter
{
public:
    static constexpr QSize Size{425, 75};

    explicit BannerPainter(const QString &caption);

    QImage paint() const;

private:
    void paintGround(QPainter &painter) const;
    void paintSparkles(QPainter &painter) const;
    void paintCaption(QPainter &painter) const;
    QPainterPath fittedCaption() const;
    static QFont captionFont(int pixelSize);

    QString m_caption;
};
