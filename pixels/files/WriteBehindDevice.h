#pragma once

#include <QFileDevice>
#include <QIODevice>

#include <vector>

// Writes through to a file a megabyte at a time: an encoder writes a row or a few kilobytes at once, and one
// system call a megabyte costs far less than one a row. The disk starts on every whole megabyte as soon as it
// is written, so that the sync that ends a save waits for little more than the last one instead of the whole
// file; the rest, and a small file whole, waits for that sync, which writes many small files out together.
class WriteBehindDevice : public QIODevice
{
public:
    explicit WriteBehindDevice(QFileDevice &file);

    bool isSequential() const override { return true; }

    // Writes what is still gathered. False, with errno telling why, when the file did not take it all.
    bool finish();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    static constexpr qint64 ChunkBytes = qint64(1024) * 1024;

    enum class DiskStart { Now, Later };

    bool writeGathered(DiskStart diskStart);
    bool writeChunk(const char *data, qint64 size, DiskStart diskStart);

    QFileDevice &m_file;
    std::vector<char> m_chunk; // its capacity kept from chunk to chunk
};
