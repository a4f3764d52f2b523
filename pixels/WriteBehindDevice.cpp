#include "WriteBehindDevice.h"

#include <fcntl.h>

WriteBehindDevice::WriteBehindDevice(QFileDevice &file)
    : m_file(file)
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 WriteBehindDevice::readData(char *, qint64)
{
    return -1;
}

qint64 WriteBehindDevice::writeData(const char *data, qint64 size)
{
    const qint64 written = m_file.write(data, size);
    if (written < 0) {
        setErrorString(m_file.errorString());
        return -1;
    }
    m_notStarted += written;
    // Only a hint: whether the disk starts early or not, the sync at the end decides.
    if (m_notStarted >= ChunkBytes && m_file.flush()) {
        ::sync_file_range(m_file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
        m_notStarted = 0;
    }
    return written;
}
