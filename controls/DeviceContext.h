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

    // Rewrites the rows [top, bottom) through rewrite(const quint32 *from, quint32 *to, qsizetype count).
    // While the surface still shares its pixels with picture objects, the new rows go straight into a fresh
    // buffer in the same pass rather than copying the whole surface first and then rewriting the copy.
    template<class Rewrite>
    void rewriteRows(int top, int bottom, Rewrite rewrite);

private:
    QImage *m_surface;
};

using HDC = DeviceContext *;

template<class Rewrite>
void DeviceContext::rewriteRows(int top, int bottom, Rewrite rewrite)
{
    top = qMax(top, 0);
    bottom = qMin(bottom, height());
    if (top >= bottom)
        return;
    const qsizetype count = width();
    if (m_surface->isDetached()) {
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
    const size_t rowBytes = size_t(count) * sizeof(quint32);
    for (int y = 0; y < height(); ++y) {
        const auto *from = reinterpret_cast<const quint32 *>(shared.constScanLine(y));
        auto *to = reinterpret_cast<quint32 *>(fresh.scanLine(y));
        if (y >= top && y < bottom)
            rewrite(from, to, count);
        else
            std::memcpy(to, from, rowBytes);
    }
    *m_surface = std::move(fresh);
}
