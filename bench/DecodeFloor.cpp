// kelvo-decode-floor FOLDER FILE...: decodes each picture with its format's own library alone and writes its
// colours out as they come, a PPM file in FOLDER, as djpeg -ppm does for a JPEG: the floor scripts/bench --batch
// holds kelvo-gray's conversion of that format to. The format is taken from the file's extension (.png, .tif,
// .webp, .gif, .heic, .avif); each library is asked for 8-bit red, green and blue as directly as it gives them.
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

struct Picture
{
    size_t width = 0;
    size_t height = 0;
    std::vector<unsigned char> rgb; // rows of red, green and blue, top first
};

bool endsWith(const std::string &name, const char *suffix)
{
    const size_t length = std::strlen(suffix);
    return name.size() >= length && name.compare(name.size() - length, length, suffix) == 0;
}

bool decodePng(const char *path, Picture &picture)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path))
        return false;
    image.format = PNG_FORMAT_RGB;
    picture = {image.width, image.height, std::vector<unsigned char>(PNG_IMAGE_SIZE(image))};
    return png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr);
}

bool decodeTiff(const char *path, Picture &picture)
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
    picture = {width, height, std::vector<unsigned char>(pixels.size() * 3)};
    unsigned char *to = picture.rgb.data();
    for (const uint32_t pixel : pixels) {
        *to++ = (unsigned char)TIFFGetR(pixel);
        *to++ = (unsigned char)TIFFGetG(pixel);
        *to++ = (unsigned char)TIFFGetB(pixel);
    }
    return read;
}

bool decodeWebp(const char *path, Picture &picture)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    int width = 0;
    int height = 0;
    if (!WebPGetInfo(bytes.data(), bytes.size(), &width, &height))
        return false;
    picture = {size_t(width), size_t(height), std::vector<unsigned char>(size_t(width) * size_t(height) * 3)};
    return WebPDecodeRGBInto(bytes.data(), bytes.size(), picture.rgb.data(), picture.rgb.size(), width * 3);
}

// The first frame, which the sample files fill the screen with, through its colour table.
bool decodeGif(const char *path, Picture &picture)
{
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path, &error);
    if (!gif)
        return false;
    const bool read = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
    if (read) {
        const SavedImage &frame = gif->SavedImages[0];
        const ColorMapObject *colours = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
        const size_t pixels = size_t(frame.ImageDesc.Width) * size_t(frame.ImageDesc.Height);
        picture = {size_t(frame.ImageDesc.Width), size_t(frame.ImageDesc.Height),
                   std::vector<unsigned char>(pixels * 3)};
        unsigned char *to = picture.rgb.data();
        for (size_t i = 0; i < pixels; ++i) {
            const GifColorType colour = colours->Colors[frame.RasterBits[i] % colours->ColorCount];
            *to++ = colour.Red;
            *to++ = colour.Green;
            *to++ = colour.Blue;
        }
    }
    DGifCloseFile(gif, &error);
    return read;
}

bool decodeHeif(const char *path, Picture &picture)
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
        const uint8_t *rows = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
        const auto width = size_t(heif_image_get_width(image, heif_channel_interleaved));
        const auto height = size_t(heif_image_get_height(image, heif_channel_interleaved));
        picture = {width, height, std::vector<unsigned char>(width * height * 3)};
        for (size_t y = 0; y < height; ++y)
            std::memcpy(picture.rgb.data() + y * width * 3, rows + y * size_t(stride), width * 3);
        heif_image_release(image);
    }
    if (handle)
        heif_image_handle_release(handle);
    heif_context_free(context);
    return read;
}

bool decode(const std::string &path, Picture &picture)
{
    if (endsWith(path, ".png"))
        return decodePng(path.c_str(), picture);
    if (endsWith(path, ".tif"))
        return decodeTiff(path.c_str(), picture);
    if (endsWith(path, ".webp"))
        return decodeWebp(path.c_str(), picture);
    if (endsWith(path, ".gif"))
        return decodeGif(path.c_str(), picture);
    if (endsWith(path, ".heic") || endsWith(path, ".avif"))
        return decodeHeif(path.c_str(), picture);
    return false;
}

bool writePpm(const std::string &folder, const std::string &path, const Picture &picture)
{
    const std::string name = path.substr(path.find_last_of('/') + 1);
    std::FILE *file = std::fopen((folder + '/' + name + ".ppm").c_str(), "wb");
    if (!file)
        return false;
    std::fprintf(file, "P6\n%zu %zu\n255\n", picture.width, picture.height);
    const bool written = std::fwrite(picture.rgb.data(), 1, picture.rgb.size(), file) == picture.rgb.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kelvo-decode-floor FOLDER FILE...\n");
        return 2;
    }
    int failed = 0;
    for (int i = 2; i < argc; ++i) {
        Picture picture;
        if (!decode(argv[i], picture) || !writePpm(argv[1], argv[i], picture)) {
            std::fprintf(stderr, "kelvo-decode-floor: cannot decode %s\n", argv[i]);
            failed = 1;
        }
    }
    return failed;
}
