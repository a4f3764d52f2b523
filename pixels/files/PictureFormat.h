#pragma once

// The formats pictures are written in, and the one table of their names and file name extensions.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

enum class PictureFormat {
    Bitmap, // a Windows bitmap of 24 bits a pixel
    Jpeg,   // lossy, at a quality; a picture whose pixels are all grey is stored with one grey component
    Png,    // lossless; a picture whose pixels are all grey is stored as 8-bit grey
};

struct PictureFormatNames
{
    PictureFormat format;
    const char *name;      // the format's name, and the extension its files are written under
    const char *otherName; // another extension files of the format go by; nullptr for none
};

inline constexpr PictureFormatNames PictureFormatTable[] = {
    {PictureFormat::Bitmap, "bmp", nullptr},
    {PictureFormat::Jpeg, "jpg", "jpeg"},
    {PictureFormat::Png, "png", nullptr},
};

// The format's name, which is also the extension its files are written under.
QString pictureFormatName(PictureFormat format);

// The format of this name or its other name, in any case ("PNG", "jpeg"); none for another.
std::optional<PictureFormat> pictureFormatCalled(QByteArrayView name);

// JPEG for a name ending in one of JPEG's extensions (in any case), a 24-bit bitmap for any other.
PictureFormat pictureFormatOfName(const QString &path);
