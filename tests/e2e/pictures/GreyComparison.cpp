#include "GreyComparison.h"

int GreyComparison::greyOf(QRgb colour)
{
    // Written out here rather than taken from picture/, so that a fault in the program's rule shows.
    return (9798 * qRed(colour) + 19235 * qGreen(colour) + 3735 * qBlue(colour)) >> 15;
}

GreyComparison::GreyComparison(const QImage &source, const QImage &result)
    : m_sourceSize(source.size())
    , m_resultSize(result.size())
    , m_sameSize(source.size() == result.size())
{
    if (!m_sameSize)
        return;
    const QImage from = source.convertToFormat(QImage::Format_RGB32);
    const QImage to = result.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < from.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(from.constScanLine(y));
        const auto *out = reinterpret_cast<const QRgb *>(to.constScanLine(y));
        for (int x = 0; x < from.width(); ++x) {
            const int grey = greyOf(in[x]);
            if (qRed(out[x]) == grey && qGreen(out[x]) == grey && qBlue(out[x]) == grey)
                continue;
            if (m_mismatches++ == 0)
                m_firstMismatch = QStringLiteral("at %1,%2 source #%3 gives grey %4, file has #%5")
                                      .arg(x)
                                      .arg(y)
                                      .arg(in[x] & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                      .arg(grey)
                                      .arg(out[x] & 0xFFFFFF, 6, 16, QLatin1Char('0'));
        }
    }
}

QString GreyComparison::report() const
{
    if (!m_sameSize)
        return QStringLiteral("source is %1 x %2 pixels, result is %3 x %4")
            .arg(m_sourceSize.width())
            .arg(m_sourceSize.height())
            .arg(m_resultSize.width())
            .arg(m_resultSize.height());
    const QString size = QStringLiteral("%1 x %2 pixels").arg(m_sourceSize.width()).arg(m_sourceSize.height());
    if (m_mismatches == 0)
        return size + QStringLiteral(", every pixel is the grey of its source pixel");
    return size + QStringLiteral(", %1 wrong pixels, first %2").arg(m_mismatches).arg(m_firstMismatch);
}
