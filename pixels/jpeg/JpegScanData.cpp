#include "JpegScanData.h"

#include "JpegDecompressor.h"

#include <jerror.h>

namespace {

// Runs the decoder through every scan at an eighth of the size: the scans' data is read in full, while
// almost no pixels are computed.
bool decodeAll(jpeg_decompress_struct &decoder)
{
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

// The decoder warns that it hit a marker where it still needed bits of a scan, and then fills the rest with
// nothing.
bool jpegScansAreWhole(QByteArrayView bytes)
{
    JpegDecompressor decompressor(bytes);
    return decompressor.run(decodeAll) && !decompressor.warned(JWRN_HIT_MARKER);
}
