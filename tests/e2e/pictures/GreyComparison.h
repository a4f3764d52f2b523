#pragma once

#include <QImage>
#include <QString>

// Compares a saved result with its source: every pixel of the result must be the grey of the source pixel at the
// same place, by the program's rule (9798·R + 19235·G + 3735·B) >> 15 in all three channels.
class GreyComparison
{
public:
    GreyComparison(const QImage &source, const QImage &result);

    bool matches() const { return m_mismatches == 0 && m_sameSize; }
    // One line for a person: the size, the number of wrong pixels and the first of them.
    QString report() const;

    static int greyOf(QRgb colour);

private:
    QSize m_sourceSize;
    QSize m_resultSize;
    bool m_sameSize = false;
    qint64 m_mismatches = 0;
    QString m_firstMismatch;
};
