#pragma once

#include <QByteArrayView>

#include <bitset>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

// libjpeg's decompressor over a stream in memory, set up for use inside a program: a stream it refuses makes it
// jump back to run() rather than end the process, and its warnings are kept as data rather than printed.
class JpegDecompressor
{
public:
    explicit JpegDecompressor(QByteArrayView bytes);
    ~JpegDecompressor();
    JpegDecompressor(const JpegDecompressor &) = delete;
    JpegDecompressor &operator=(const JpegDecompressor &) = delete;

    // Runs decode(jpeg_decompress_struct &) over the stream. False when it returns false, or when libjpeg refuses
    // the stream on the way and jumps straight back here: nothing that `decode` calls may hold an object with a
    // destructor across a call into libjpeg.
    template<class Decode>
    bool run(Decode decode)
    {
        volatile bool decoded = false;
        if (setjmp(m_errors.refused) == 0) {
            readFromMemory();
            decoded = decode(m_decoder);
        }
        return decoded;
    }

    // Whether libjpeg has warned with this message code (one of jerror.h's JWRN_…).
    bool warned(int code) const;

private:
    static constexpr size_t MessageCodes = 256;

    struct Errors
    {
        jpeg_error_mgr manager; // first, so that the decoder's pointer to it is a pointer to the whole
        std::jmp_buf refused;
        std::bitset<MessageCodes> warnings;
    };

    void readFromMemory();
    [[noreturn]] static void refuse(j_common_ptr decoder);
    static void keepWarning(j_common_ptr decoder, int level);

    QByteArrayView m_bytes;
    Errors m_errors;
    jpeg_decompress_struct m_decoder{};
};
