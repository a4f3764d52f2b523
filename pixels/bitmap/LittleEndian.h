#pragma once

// Numbers as file formats of Intel descent store them: the low byte first.

#include <QByteArray>

// Writes the low `bytes` bytes of `value` at `at`, which must lie inside `to`.
inline void putLittleEndian(QByteArray &to, qsizetype at, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        to[at + i] = char(value >> (8 * i));
}

// Appends the low `bytes` bytes of `value`.
inline void appendLittleEndian(QByteArray &to, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        to.append(char(value >> (8 * i)));
}
