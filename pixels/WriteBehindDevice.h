#pragma once

#include <QFileDevice>
#include <QIODevice>

// Writes through to a file and has the disk start on every megabyte as soon as it is written, so that the
// sync that ends a save waits for little more than the last megabyte instead of the whole file.
class WriteBehindDevice : public QIODevice
{
public:
    explicit WriteBehindDevice(QFileDevice &file);

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    static constexpr qint64 ChunkBytes = qint64(1024) * 1024;

    QFileDevice &m_file;
    qint64 m_notStarted = 0;
};
