#include "WriteBehindDevice.h"

#include <fcntl.h>

WriteBehindDevice::WriteBehindDevice(QFileDevice &file)
    : m_file(file)
{
    m_chunk.reserve(size_t(ChunkBytes));
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool WriteBehindDevice::finish()
{
    return writeGathered(DiskStart::Later);
}

bool WriteBehindDevice::writeGathered(DiskStart diskStart)
{
    const bool written = m_chunk.empty() || writeChunk(m_chunk.data(), qint64(m_chunk.size()), diskStart);
    m_chunk.clear();
    return written;
}

qint64 WriteBehindDevice::readData(char *, qint64)
{
    return -1;
}

qint64 WriteBehindDevice::writeData(const char *data, qint64 size)
{
    if (qint64(m_chunk.size()) + size > ChunkBytes && !writeGathered(DiskStart::Now))
        return -1;
    if (size >= ChunkBytes)
        return writeChunk(data, size, DiskStart::Now) ? size : -1;
    m_chunk.insert(m_chunk.end(), data, data + size);
    return size;
}

bool WriteBehindDevice::writeChunk(const char *data, qint64 size, DiskStart diskStart)
{
    if (m_file.write(data, size) != size || !m_file.flush()) {
        setErrorString(m_file.errorString());
        return false;
    }
    // Only a hint: whether the disk starts early or not, the sync at the end decides.
    if (diskStart == DiskStart::Now)
        ::sync_file_range(m_file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
    return true;
}
