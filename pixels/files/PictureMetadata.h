#pragma once

// What a picture file says about its picture besides its pixels: its EXIF (date, camera, position, …), XMP and
// IPTC, read from a source and written into a result. A colour profile and a thumbnail are never carried: a
// result is grey, and a thumbnail would show the colours the result no longer has.

#include "pixels/PictureResult.h"

#include <QByteArray>

#include <memory>

class PictureMetadata
{
public:
    // Whether the orientation tag of a result still says how to turn its pixels.
    enum class Orientation {
        Upright, // the pixels are turned already: the tag says 1
        AsCoded, // the pixels are stored as the source stored them: the tag stays
    };

    PictureMetadata() = default; // none

    // The metadata of a picture file's bytes, in any format the library reads; empty for a file that has none.
    // NotAPicture for a file whose metadata cannot be read.
    static PictureResult<PictureMetadata> readFrom(const QByteArray &fileBytes);
    // The metadata of the blocks a picture's header hands over: an EXIF block (a TIFF structure), an XMP packet
    // and Photoshop's image resources, each empty where there is none. NotAPicture where the EXIF block cannot be
    // read.
    static PictureResult<PictureMetadata> fromBlocks(const QByteArray &exif, const QByteArray &xmp,
                                                     const QByteArray &photoshop);

    bool isEmpty() const { return !m_data; }

    // `encoded` (a JPEG or PNG file) with this metadata added; `encoded` as it was when it cannot take it.
    QByteArray insertedInto(const QByteArray &encoded, Orientation orientation) const;

private:
    struct Data;
    std::shared_ptr<const Data> m_data; // never changed once read, so shared between copies
};
