#include "JpegDecompressor.h"

#include <jerror.h>

static_assert(JMSG_LASTMSGCODE <= 256, "every libjpeg message code must fit the warnings kept");

JpegDecompressor::JpegDecompressor(QByteArrayView bytes)
    : m_bytes(bytes)
{
    m_decoder.err = jpeg_std_error(&m_errors.manager);
    m_errors.manager.error_exit = refuse;
    m_errors.manager.emit_message = keepWarning;
    jpeg_create_decompress(&m_decoder);
}

JpegDecompressor::~JpegDecompressor()
{
    jpeg_destroy_decompress(&m_decoder);
}

bool JpegDecompressor::warned(int code) const
{
    return code >= 0 && size_t(code) < MessageCodes && m_errors.warnings.test(size_t(code));
}

// Inside run(): libjpeg refuses an empty stream at once.
void JpegDecompressor::readFromMemory()
{
    jpeg_mem_src(&m_decoder, reinterpret_cast<const unsigned char *>(m_bytes.data()),
                 static_cast<unsigned long>(m_bytes.size()));
}

void JpegDecompressor::refuse(j_common_ptr decoder)
{
    std::longjmp(reinterpret_cast<Errors *>(decoder->err)->refused, 1);
}

// Level -1 is a warning (the stream is damaged, the decoder goes on); higher levels are traces. Counted as
// libjpeg's own handler counts them, but never printed.
void JpegDecompressor::keepWarning(j_common_ptr decoder, int level)
{
    if (level >= 0)
        return;
    ++decoder->err->num_warnings;
    const int code = decoder->err->msg_code;
    if (code >= 0 && size_t(code) < MessageCodes)
        reinterpret_cast<Errors *>(decoder->err)->warnings.set(size_t(code));
}
