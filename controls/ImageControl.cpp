#include "ImageControl.h"

#include <QPainter>

ImageControl::ImageControl(QWidget *parent)
    : QWidget(parent)
{
}

void ImageControl::setPicture(const StdPicture &picture)
{
    m_picture = picture;
    prepareShownImage();
}

void ImageControl::setStretch(bool on)
{
    m_stretch = on;
    prepareShownImage();
}

QImage ImageControl::scaledForPreview(const QImage &source, QSize target)
{
    if (source.isNull() || target.isEmpty())
        return {};
    // A smooth scale reads every source pixel; past a few source pixels per target pixel that buys nothing
    // visible, so large pictures are first sampled down to a small multiple of the target.
    constexpr int Oversampling = 4;
    const QSize sampled(qMin(source.width(), target.width() * Oversampling),
                        qMin(source.height(), target.height() * Oversampling));
    const QImage reduced = sampled == source.size()
        ? source
        : source.scaled(sampled, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return reduced.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void ImageControl::paintEvent(QPaintEvent *)
{
    if (m_shown.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_shown);
}

void ImageControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_stretch)
        prepareShownImage();
}

void ImageControl::prepareShownImage()
{
    const QImage &image = m_picture.image();
    if (image.isNull()) {
        m_shown = QImage();
    } else if (m_stretch) {
        const qreal ratio = devicePixelRatioF();
        m_shown = scaledForPreview(image, size() * ratio);
        m_shown.setDevicePixelRatio(ratio);
    } else {
        m_shown = image;
    }
    update();
}
