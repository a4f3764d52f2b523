#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>

// Writes a Windows .ico container whose images are 8-bit palette DIBs with a 1-bit AND mask.
// Qt's own ICO writer always stores 32-bit images, which old shells and our packaging do not want.
class IcoWriter
{
public:
    // At most 256 colours; missing entries are filled with black.
    explicit IcoWriter(const QList<QRgb> &palette);

    // Sides of 1..256 pixels. Pixels under half opacity become transparent in the mask.
    bool addImage(const QImage &image);
    int imageCount() const { return m_images.size(); }

    QByteArray data() const;
    bool save(const QString &path, QString *errorString = nullptr) const;

private:
    QByteArray dib(const QImage &image) const;
    int nearestIndex(QRgb colour) const;

    QList<QRgb> m_palette;
    QList<QImage> m_images;
    int m_blackIndex = 0;
    mutable QHash<QRgb, int> m_indexCache;
};
