#include "JpegScanData.h"

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

namespace {

struct Watcher
{
    jpeg_error_mgr manager; // first, so that the decoder's pointer to it is a pointer to the whole
    std::jmp_buf refused;
    bool ranOutOfData = false;
};

[[noreturn]] void refuse(j_common_ptr decoder)
{
    std::longjmp(reinterpret_cast<Watcher *>(decoder->err)->refused, 1);
}

// Warnings are data here, never printed. The decoder warns that it hit a marker where it still needed bits
// of a scan, and then fills the rest with nothing.
void note(j_common_ptr decoder, int level)
{
    auto *watcher = reinterpret_cast<Watcher *>(decoder->err);
    if (level < 0 && decoder->err->msg_code == JWRN_HIT_MARKER)
        watcher->ranOutOfData = true;
}

// Runs the decoder through every scan at an eighth of the size: the scans' data is read in full, while
// almost no pixels are computed.
bool decodeAll(jpeg_decompress_struct &decoder, QByteArrayView bytes)
{
    jpeg_mem_src(&decoder, reinterpret_cast<const unsigned char *>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&decoder, TRUE) != JPEG_HEADER_OK)
        return false;
    decoder.scale_num = 1;
    decoder.scale_denom = 8;
    decoder.dct_method = JDCT_IFAST;
    decoder.do_fancy_upsampling = FALSE;
    decoder.do_block_smoothing = FALSE;
    if (!jpeg_start_decompress(&decoder))
        return false;
    // From the decoder's own pool, which a refusal, jumping past every destructor, cannot leak.
    JSAMPARRAY row = (*decoder.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&decoder), JPOOL_IMAGE,
                                                  decoder.output_width * JDIMENSION(decoder.output_components), 1);
    while (decoder.output_scanline < decoder.output_height) {
        if (jpeg_read_scanlines(&decoder, row, 1) != 1)
            return false;
    }
    return jpeg_finish_decompress(&decoder) == TRUE;
}

} // namespace

bool jpegScansAreWhole(QByteArrayView bytes)
{
    Watcher watcher;
    jpeg_decompress_struct decoder{};
    decoder.err = jpeg_std_error(&watcher.manager);
    watcher.manager.error_exit = refuse;
    watcher.manager.emit_message = note;
    jpeg_create_decompress(&decoder);
    // Nothing between here and a jump back has a destructor to run.
    volatile bool decoded = false;
    if (setjmp(watcher.refused) == 0)
        decoded = decodeAll(decoder, bytes);
    jpeg_destroy_decompress(&decoder);
    return decoded && !watcher.ranOutOfData;
}
