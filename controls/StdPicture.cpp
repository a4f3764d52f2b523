#include "StdPicture.h"

#include <atomic>

struct StdPicture::Data
{
    QImage image;
    qint32 handle;
};

namespace {

qint32 nextHandle()
{
    static std::atomic<quint32> counter{0};
    quint32 handle = ++counter & 0x7FFFFFFF;
    while (handle == 0)
        handle = ++counter & 0x7FFFFFFF;
    return qint32(handle);
}

const QImage &emptyImage()
{
    static const QImage empty;
    return empty;
}

} // namespace

StdPicture::StdPicture(QImage image)
{
    if (!image.isNull())
        d = std::make_shared<const Data>(Data{std::move(image), nextHandle()});
}

qint32 StdPicture::Handle() const noexcept
{
    return d ? d->handle : 0;
}

const QImage &StdPicture::image() const noexcept
{
    return d ? d->image : emptyImage();
}
