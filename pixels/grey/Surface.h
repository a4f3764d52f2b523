#pragma once

// A drawing surface: the pixels of one 32-bit image (QImage::Format_RGB32, 0xffRRGGBB in memory) and the one
// walk that rewrites them, copy-on-write.

#include "pixels/memory/ImageAllocator.h"

#include <QImage>

#include <cstring>
#include <utility>

class Surface
{
public:
    explicit Surface(QImage *image)
        : m_image(image)
    {
    }

    int width() const { return m_image->width(); }
    int height() const { return m_image->height(); }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }

    const quint32 *constScanLine(int y) const
    {
        return reinterpret_cast<const quint32 *>(std::as_const(*m_image).constScanLine(y));
    }
    quint32 *scanLine(int y) { return reinterpret_cast<quint32 *>(m_image->scanLine(y)); }

    // Rewrites the first `width` pixels of the rows [top, bottom) through rewrite(const quint32 *from,
    // quint32 *to, qsizetype count), a function that treats every pixel alike; the rest of each row stays.
    // Whole rows that lie back to back in memory come in one call. While the image still shares its pixels
    // with other images, the new rows go straight into a fresh buffer in the same pass rather than copying
    // the whole image first and then rewriting the copy. False, and nothing changed, when memory for that
    // buffer runs out.
    template<class Rewrite>
    bool rewrite(int top, int bottom, int width, Rewrite rewrite);

private:
    static bool rowsBackToBack(const QImage &image)
    {
        return image.bytesPerLine() == qsizetype(image.width()) * qsizetype(sizeof(quint32));
    }

    QImage *m_image;
};

template<class Rewrite>
bool Surface::rewrite(int top, int bottom, int width, Rewrite rewrite)
{
    top = qMax(top, 0);
    bottom = qMin(bottom, height());
    width = qMin(width, this->width());
    if (top >= bottom || width <= 0)
        return true;
    const bool wholeRows = width == this->width();
    if (m_image->isDetached()) {
        if (wholeRows && rowsBackToBack(*m_image)) {
            quint32 *rows = scanLine(top);
            rewrite(rows, rows, qsizetype(width) * (bottom - top));
            return true;
        }
        for (int y = top; y < bottom; ++y) {
            quint32 *row = scanLine(y);
            rewrite(row, row, width);
        }
        return true;
    }
    QImage fresh = ImageAllocator::allocate(m_image->size(), m_image->format());
    if (fresh.isNull())
        return false;
    fresh.setDotsPerMeterX(m_image->dotsPerMeterX());
    fresh.setDotsPerMeterY(m_image->dotsPerMeterY());
    const QImage &shared = *m_image;
    const auto from = [&shared](int y) { return reinterpret_cast<const quint32 *>(shared.constScanLine(y)); };
    const auto to = [&fresh](int y) { return reinterpret_cast<quint32 *>(fresh.scanLine(y)); };
    const size_t rowBytes = size_t(this->width()) * sizeof(quint32);
    for (int y = 0; y < top; ++y)
        std::memcpy(to(y), from(y), rowBytes);
    if (wholeRows && rowsBackToBack(shared) && rowsBackToBack(fresh)) {
        rewrite(from(top), to(top), qsizetype(width) * (bottom - top));
    } else {
        const size_t restBytes = size_t(this->width() - width) * sizeof(quint32);
        for (int y = top; y < bottom; ++y) {
            rewrite(from(y), to(y), width);
            std::memcpy(to(y) + width, from(y) + width, restBytes);
        }
    }
    for (int y = bottom; y < height(); ++y)
        std::memcpy(to(y), from(y), rowBytes);
    *m_image = std::move(fresh);
    return true;
}
