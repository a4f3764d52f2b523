#include "SourceFormats.h"

#include "pixels/bitmap/BitmapReader.h"
#include "pixels/gif/GifReader.h"
#include "pixels/heif/HeifReader.h"
#include "pixels/jpeg/JpegReader.h"
#include "pixels/png/PngReader.h"
#include "pixels/tiff/TiffReader.h"
#include "pixels/webp/WebpReader.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>

namespace {

using namespace std::string_view_literals;

bool startsWithAny(QByteArrayView head, std::initializer_list<std::string_view> signatures)
{
    return std::any_of(signatures.begin(), signatures.end(), [head](std::string_view signature) {
        return head.startsWith(QByteArrayView(signature.data(), qsizetype(signature.size())));
    });
}

// An ISO base media file (HEIF, AVIF, a camera's CR3) names its kind in its first box, "ftyp": four bytes of
// length, "ftyp", then the brand.
bool hasBrand(QByteArrayView head, std::initializer_list<std::string_view> brands)
{
    if (head.size() < 12 || head.sliced(4, 4) != QByteArrayView("ftyp"))
        return false;
    return startsWithAny(head.sliced(8), brands);
}

template<class Reader>
std::unique_ptr<FormatReader> makeReader()
{
    return std::make_unique<Reader>();
}

bool isJpeg(QByteArrayView head)
{
    return head.startsWith("\xFF\xD8");
}
bool isBitmap(QByteArrayView head)
{
    return head.startsWith("BM");
}
bool isPng(QByteArrayView head)
{
    return head.startsWith("\x89PNG\r\n\x1A\n");
}
bool isTiff(QByteArrayView head)
{
    return startsWithAny(head, {"II*\0"sv, "MM\0*"sv, "II+\0"sv, "MM\0+"sv});
}
bool isWebp(QByteArrayView head)
{
    return head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == QByteArrayView("WEBP");
}
bool isGif(QByteArrayView head)
{
    return startsWithAny(head, {"GIF87a"sv, "GIF89a"sv});
}
bool isHeif(QByteArrayView head)
{
    return hasBrand(head, {"heic"sv, "heix"sv, "hevc"sv, "hevx"sv, "heim"sv, "heis"sv, "hevm"sv, "hevs"sv, "mif1"sv,
                           "msf1"sv, "avif"sv, "avis"sv});
}

bool isJpeg2000(QByteArrayView head)
{
    return startsWithAny(head, {"\0\0\0\x0CjP  \r\n\x87\n"sv, "\xFF\x4F\xFF\x51"sv});
}
bool isJpegXl(QByteArrayView head)
{
    return startsWithAny(head, {"\xFF\x0A"sv, "\0\0\0\x0CJXL \r\n\x87\n"sv});
}
bool isPhotoshop(QByteArrayView head)
{
    return head.startsWith("8BPS");
}
// An icon or cursor file: reserved zero, its type, at least one image, and the first entry's reserved zero.
bool isIcon(QByteArrayView head)
{
    return head.size() >= 10 && startsWithAny(head, {"\0\0\1\0"sv, "\0\0\2\0"sv}) && (head[4] || head[5])
           && head[9] == 0;
}
bool isOpenExr(QByteArrayView head)
{
    return head.startsWith("\x76\x2F\x31\x01");
}
// Camera raw files that are no TIFF libtiff reads: Canon CR3, Fujifilm RAF, Minolta MRW, Sigma X3F, Olympus
// ORF and Panasonic RW2 (whose TIFF-like headers carry a mark of their own).
bool isCameraRaw(QByteArrayView head)
{
    return hasBrand(head, {"crx "sv})
           || startsWithAny(head, {"FUJIFILMCCD-RAW"sv, "\0MRM"sv, "FOVb"sv, "IIRO"sv, "IIRS"sv, "MMOR"sv, "IIU\0"sv});
}
bool isOtherPicture(QByteArrayView head)
{
    return startsWithAny(head, {"qoif"sv, "II\xBC\x01"sv, "#?RADIANCE"sv, "#?RGBE"sv, "gimp xcf"sv, "DDS "sv});
}

// The one list of formats. The window's come first: it reads JPEG and bitmap files only.
const std::array Formats{
    SourceFormat{"JPEG", isJpeg, makeReader<JpegReader>, true},
    SourceFormat{"BMP", isBitmap, makeReader<BitmapReader>, true},
    SourceFormat{"PNG", isPng, makeReader<PngReader>, false},
    SourceFormat{"TIFF", isTiff, makeReader<TiffReader>, false},
    SourceFormat{"WebP", isWebp, makeReader<WebpReader>, false},
    SourceFormat{"GIF", isGif, makeReader<GifReader>, false},
    SourceFormat{"HEIF", isHeif, makeReader<HeifReader>, false},
    SourceFormat{"JPEG 2000", isJpeg2000, nullptr, false},
    SourceFormat{"JPEG XL", isJpegXl, nullptr, false},
    SourceFormat{"Photoshop", isPhotoshop, nullptr, false},
    SourceFormat{"icon", isIcon, nullptr, false},
    SourceFormat{"OpenEXR", isOpenExr, nullptr, false},
    SourceFormat{"camera raw", isCameraRaw, nullptr, false},
    SourceFormat{"other picture", isOtherPicture, nullptr, false},
};

} // namespace

std::span<const SourceFormat> sourceFormats()
{
    return Formats;
}

const SourceFormat *announcedFormat(QByteArrayView head)
{
    const auto found = std::find_if(Formats.begin(), Formats.end(),
                                    [head](const SourceFormat &format) { return format.announces(head); });
    return found == Formats.end() ? nullptr : &*found;
}

bool readsFormat(const SourceFormat &format, SourceFormatSet set)
{
    return format.makeReader && (set == SourceFormatSet::All || format.window);
}
