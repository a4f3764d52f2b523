#include "ImageControl.h"

#include <QPainter>

#include <array>
#include <vector>

namespace {

// Samples along each side of a target pixel's area in a large picture's preview: a power of two.
constexpr int PreviewSamples = 2;
constexpr int PreviewShift = 2; // log2(PreviewSamples²)

// Where the samples of each target pixel lie along one side: `samples` evenly spread over its share of the
// source.
std::vector<int> samplePositions(int sourceLength, int targetLength, int samples)
{
    std::vector<int> positions(size_t(targetLength) * size_t(samples));
    const qint64 steps = qint64(targetLength) * samples;
    for (qint64 i = 0; i < steps; ++i)
        positions[size_t(i)] = int(qMin<qint64>((2 * i + 1) * sourceLength / (2 * steps), sourceLength - 1));
    return positions;
}

// Each target pixel the mean of PreviewSamples² source pixels. Red and blue add up side by side in one
// word, green (and the alpha byte) in another.
QImage averageOfSamples(const QImage &source, QSize target)
{
    constexpr int samples = PreviewSamples;
    const std::vector<int> columns = samplePositions(source.width(), target.width(), samples);
    const std::vector<int> rows = samplePositions(source.height(), target.height(), samples);
    QImage result(target, QImage::Format_RGB32);
    if (result.isNull())
        return result;
    constexpr quint32 half = (1u << (PreviewShift - 1)) * 0x00010001u;
    for (int y = 0; y < target.height(); ++y) {
        std::array<const quint32 *, samples> lines;
        for (int k = 0; k < samples; ++k)
            lines[k] = reinterpret_cast<const quint32 *>(source.constScanLine(rows[size_t(y) * samples + k]));
        auto *out = reinterpret_cast<quint32 *>(result.scanLine(y));
        const int *column = columns.data();
        for (int x = 0; x < target.width(); ++x, column += samples) {
            quint32 redBlue = half, greenAlpha = half;
            for (const quint32 *line : lines) {
                for (int j = 0; j < samples; ++j) {
                    const quint32 pixel = line[column[j]];
                    redBlue += pixel & 0x00FF00FFu;
                    greenAlpha += (pixel >> 8) & 0x00FF00FFu;
                }
            }
            out[x] = 0xFF000000u | (redBlue >> PreviewShift & 0x00FF00FFu) | (greenAlpha >> PreviewShift & 0xFFu) << 8;
        }
    }
    return result;
}

} // namespace

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
    // A smooth scale reads every source pixel; for a preview a few samples of each target pixel's area do
    // as well, and cost the same whatever the size of the picture.
    const bool large =
        source.width() > target.width() * PreviewSamples && source.height() > target.height() * PreviewSamples;
    if (large && source.format() == QImage::Format_RGB32)
        return averageOfSamples(source, target);
    return source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
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
