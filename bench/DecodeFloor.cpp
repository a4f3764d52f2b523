// kelvo-decode-floor FILE...: decodes each picture with its format's own library alone, into memory, and
// nothing more: the floor scripts/bench --batch holds kelvo-gray's conversion of that format to. The format is
// taken from the file's extension (.png, .tif, .webp, .gif, .heic, .avif); each library is asked for 8-bit
// pixels as directly as it gives them.
#include <gif_lib.h>
#include <libheif/heif.h>
#include <png.h>
#include <tiffio.h>
#include <webp/decode.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Where a byte of every picture goes, so that no decode is optimised away.
volatile unsigned char seen;

bool endsWith(const std::string &name, const char *suffix)
{
    const size_t length = std::strlen(suffix);
    return name.size() >= length && name.compare(name.size() - length, length, suffix) == 0;
}

bool decodePng(const char *path)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path))
        return false;
    image.format = PNG_FORMAT_BGRA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    const bool read = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
    seen = pixels.back();
    return read;
}

bool decodeTiff(const char *path)
{
    TIFF *tiff = TIFFOpen(path, "r");
    if (!tiff)
        return false;
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    std::vector<uint32_t> pixels(size_t(width) * height);
    const bool read = TIFFReadRGBAImageOriented(tiff, width, height, pixels.data(), ORIENTATION_TOPLEFT, 1);
    TIFFClose(tiff);
    seen = (unsigned char)pixels.back();
    return read;
}

bool decodeWebp(const char *path)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    int width = 0;
    int height = 0;
    uint8_t *pixels = WebPDecodeBGRA(bytes.data(), bytes.size(), &width, &height);
    if (!pixels)
        return false;
    seen = pixels[0];
    WebPFree(pixels);
    return true;
}

bool decodeGif(const char *path)
{
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path, &error);
    if (!gif)
        return false;
    const bool read = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
    if (read)
        seen = gif->SavedImages[0].RasterBits[0];
    DGifCloseFile(gif, &error);
    return read;
}

bool decodeHeif(const char *path)
{
    heif_context *context = heif_context_alloc();
    heif_image_handle *handle = nullptr;
    heif_image *image = nullptr;
    bool read = heif_context_read_from_file(context, path, nullptr).code == heif_error_Ok
                && heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok
                && heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code
                       == heif_error_Ok;
    if (read) {
        int stride = 0;
        seen = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride)[0];
        heif_image_release(image);
    }
    if (handle)
        heif_image_handle_release(handle);
    heif_context_free(context);
    return read;
}

bool decode(const std::string &path)
{
    if (endsWith(path, ".png"))
        return decodePng(path.c_str());
    if (endsWith(path, ".tif"))
        return decodeTiff(path.c_str());
    if (endsWith(path, ".webp"))
        return decodeWebp(path.c_str());
    if (endsWith(path, ".gif"))
        return decodeGif(path.c_str());
    if (endsWith(path, ".heic") || endsWith(path, ".avif"))
        return decodeHeif(path.c_str());
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        if (!decode(argv[i])) {
            std::fprintf(stderr, "kelvo-decode-floor: cannot decode %s\n", argv[i]);
            failed = 1;
        }
    }
    return failed;
}
