#include "PictureMetadata.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

struct PictureMetadata::Data
{
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
};

namespace {

// The XMP toolkit keeps global state: it is set up once, and told how to lock it for threads that parse at once.
void lockXmp(void *mutex, bool lock)
{
    auto *xmpMutex = static_cast<std::mutex *>(mutex);
    if (lock)
        xmpMutex->lock();
    else
        xmpMutex->unlock();
}

void setUpLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static std::mutex xmpMutex;
        Exiv2::XmpParser::initialize(lockXmp, &xmpMutex);
        // A damaged block is the caller's to report, once, in its own words.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

const Exiv2::byte *bytesOf(const QByteArray &bytes)
{
    return reinterpret_cast<const Exiv2::byte *>(bytes.constData());
}

// The IPTC records of every IPTC resource among Photoshop's image resources, joined in order.
Exiv2::Blob iptcRecords(const QByteArray &photoshop)
{
    Exiv2::Blob records;
    const Exiv2::byte *at = bytesOf(photoshop);
    const Exiv2::byte *const end = at + photoshop.size();
    const Exiv2::byte *record = nullptr;
    uint32_t headerBytes = 0;
    uint32_t recordBytes = 0;
    while (at < end && Exiv2::Photoshop::locateIptcIrb(at, long(end - at), &record, &headerBytes, &recordBytes) == 0) {
        records.insert(records.end(), record + headerBytes, record + headerBytes + recordBytes);
        at = record + headerBytes + recordBytes + (recordBytes & 1); // resources are padded to an even length
    }
    return records;
}

// The tags that describe the source's pixels rather than the picture, set for a result whose pixels differ.
void fitToResult(Exiv2::ExifData &exif, Exiv2::XmpData &xmp, PictureMetadata::Orientation orientation)
{
    Exiv2::ExifThumb(exif).erase();
    if (orientation == PictureMetadata::Orientation::AsCoded)
        return;
    const Exiv2::ExifKey exifOrientation("Exif.Image.Orientation");
    if (exif.findKey(exifOrientation) != exif.end())
        exif[exifOrientation.key()] = uint16_t(1);
    const Exiv2::XmpKey xmpOrientation("Xmp.tiff.Orientation");
    if (xmp.findKey(xmpOrientation) != xmp.end())
        xmp[xmpOrientation.key()] = "1";
}

} // namespace

PictureResult<PictureMetadata> PictureMetadata::readFrom(const QByteArray &fileBytes)
{
    setUpLibrary();
    try {
        auto image = Exiv2::ImageFactory::open(bytesOf(fileBytes), long(fileBytes.size()));
        image->readMetadata();
        PictureMetadata metadata;
        auto data = std::make_shared<Data>(Data{image->exifData(), image->xmpData(), image->iptcData()});
        if (!data->exif.empty() || !data->xmp.empty() || !data->iptc.empty())
            metadata.m_data = std::move(data);
        return metadata;
    } catch (const Exiv2::AnyError &) {
        return PictureFailure{PictureError::NotAPicture, {}};
    }
}

PictureResult<PictureMetadata> PictureMetadata::fromBlocks(const QByteArray &exif, const QByteArray &xmp,
                                                           const QByteArray &photoshop)
{
    setUpLibrary();
    try {
        auto data = std::make_shared<Data>();
        if (!exif.isEmpty()
            && Exiv2::ExifParser::decode(data->exif, bytesOf(exif), uint32_t(exif.size())) == Exiv2::invalidByteOrder)
            data->exif.clear();
        // Whatever comes before the packet's first tag is no part of it.
        const qsizetype packet = xmp.indexOf('<');
        if (packet >= 0)
            Exiv2::XmpParser::decode(data->xmp, xmp.sliced(packet).toStdString());
        const Exiv2::Blob iptc = iptcRecords(photoshop);
        if (!iptc.empty() && Exiv2::IptcParser::decode(data->iptc, iptc.data(), uint32_t(iptc.size())) != 0)
            data->iptc.clear();
        PictureMetadata metadata;
        if (!data->exif.empty() || !data->xmp.empty() || !data->iptc.empty())
            metadata.m_data = std::move(data);
        return metadata;
    } catch (const Exiv2::AnyError &) {
        return PictureFailure{PictureError::NotAPicture, {}};
    }
}

QByteArray PictureMetadata::insertedInto(const QByteArray &encoded, Orientation orientation) const
{
    if (!m_data)
        return encoded;
    setUpLibrary();
    try {
        auto image = Exiv2::ImageFactory::open(bytesOf(encoded), long(encoded.size()));
        image->readMetadata();
        Exiv2::ExifData exif = m_data->exif;
        Exiv2::XmpData xmp = m_data->xmp;
        fitToResult(exif, xmp, orientation);
        image->setExifData(exif);
        image->setXmpData(xmp);
        image->setIptcData(m_data->iptc);
        image->writeMetadata();
        Exiv2::BasicIo &io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf written = io.read(long(io.size()));
        return QByteArray(reinterpret_cast<const char *>(written.pData_), qsizetype(written.size_));
    } catch (const Exiv2::AnyError &) {
        return encoded;
    }
}
