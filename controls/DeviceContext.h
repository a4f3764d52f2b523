#pragma once

#include "ImageMemory.h"
#include "RuntimeError.h"

#include <QImage>

#include <cstring>

// A device context addresses the pixels of one drawing surface (32-bit, 0xffRRGGBB in memory order of a
// QImage::Format_RGB32). It is valid for the calls that follow in the procedure that read it.
class DeviceContext
{
public:
    explicit DeviceContext(QImage *surface) : m_surface(surface) { }

    int width() const { return m_surface->width(); }
    int height() const { return m_surface->height(); }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }

    const quint32 *constScanLine(int y) const
    {
        return reinterpret_cast<const quint32 *>(std::as_const(*m_surface).constScanLine(y));
    }
    quint32 *scanLine(int y) { return reinterpret_cast<quint32 *>(m_surface->scanLine(y)); }

    // Rewrites the rows [top, bottom) through rewrite(const quint32 *from, quint32 *to, qsizetype count), once a
    // row. While the surface still shares its pixels with picture objects, the new rows go straight into a
    // fresh buffer in the same pass rather than copying the whole surface first and then rewriting the copy.
    template<class Rewrite>
    void rewriteRows(int top, int bottom, Rewrite rewrite) { rewriteRange(top, bottom, false, rewrite); }

    // As rewriteRows(), but rows that lie back to back in memory come in one call, `count` then covering them
    // all: for work that treats every pixel alike, a call a row would cost as much as the work on a small row.
    template<class Rewrite>
    void rewritePixels(int top, int bottom, Rewrite rewrite) { rewriteRange(top, bottom, true, rewrite); }

private:
    template<class Rewrite>
    void rewriteRange(int top, int bottom, bool merge, Rewrite rewrite);

    static bool rowsBackToBack(const QImage &image)
    {
        return image.bytesPerLine() == qsizetype(image.width()) * qsizetype(sizeof(quint32));
    }

    QImage *m_surface;
};

using HDC = DeviceContext *;

template<class Rewrite>
void DeviceContext::rewriteRange(int top, int bottom, bool merge, Rewrite rewrite)
{
    top = qMax(top, 0);
    bottom = qMin(bottom, height());
    if (top >= bottom)
        return;
    const qsizetype count = width();
    if (m_surface->isDetached()) {
        if (merge && rowsBackToBack(*m_surface)) {
            quint32 *rows = scanLine(top);
            rewrite(rows, rows, count * (bottom - top));
            return;
        }
        for (int y = top; y < bottom; ++y) {
            quint32 *row = scanLine(y);
            rewrite(row, row, count);
        }
        return;
    }
    QImage fresh = ImageMemory::allocate(m_surface->size(), m_surface->format());
    if (fresh.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory);
    fresh.setDotsPerMeterX(m_surface->dotsPerMeterX());
    fresh.setDotsPerMeterY(m_surface->dotsPerMeterY());
    const QImage &shared = *m_surface;
    const auto from = [&shared](int y) { return reinterpret_cast<const quint32 *>(shared.constScanLine(y)); };
    const auto to = [&fresh](int y) { return reinterpret_cast<quint32 *>(fresh.scanLine(y)); };
    const size_t rowBytes = size_t(count) * sizeof(quint32);
    for (int y = 0; y < top; ++y)
        std::memcpy(to(y), from(y), rowBytes);
    if (merge && rowsBackToBack(shared) && rowsBackToBack(fresh)) {
        rewrite(from(top), to(top), count * (bottom - top));
    } else {
        for (int y = top; y < bottom; ++y)
            rewrite(from(y), to(y), count);
    }
    for (int y = bottom; y < height(); ++y)
        std::memcpy(to(y), from(y), rowBytes);
    *m_surface = std::move(fresh);
}
