#include "DecolorizeRows.h"

#include <immintrin.h>

// The row loop comes in versions for the vector units a machine may have; the widest one the machine has is
// picked at the first call.
//
// The vector versions compute the grey rule exactly, at twice its scale, with two 16-bit multiply-adds a
// pixel: a pixel 0xAARRGGBB gives the 16-bit pairs (blue, red) and (green, green), weighted (2 × blue weight,
// 2 × red weight) and (green weight, green weight). The doubled sum holds the grey in its third byte, where one
// byte shuffle takes it for all three channels; no shift is needed.

namespace {

// The weights go into signed 16-bit lanes, doubled for red and blue; the doubled sum carries the grey in its
// third byte only because the rule's shift is 15.
static_assert(2 * GreyWeights::Red < 0x8000 && 2 * GreyWeights::Blue < 0x8000 && GreyWeights::Green < 0x8000);
static_assert(GreyWeights::Shift + 1 == 16, "the shuffles below take the grey from byte 2");
constexpr int BlueRedWeights = (2 * GreyWeights::Red) << 16 | (2 * GreyWeights::Blue);
constexpr int GreenWeights = GreyWeights::Green << 16 | GreyWeights::Green;
constexpr int OpaqueBlack = int(0xFF000000u);
// How far ahead of the walk, in pixels, the memory is asked for: into the second-level cache 8 KiB ahead,
// from there into the first 4 KiB ahead. Either alone leaves the walk a tenth slower than memmove.
constexpr qsizetype PrefetchFar = 2048;
constexpr qsizetype PrefetchNear = 1024;
// A row written apart from the one read streams to memory from this length on: a picture with rows this
// long is too large to stay in the cache anyway.
constexpr qsizetype StreamingPixels = 1024;
// Byte shuffles within each 128-bit lane: green into the low byte of both halves of each pixel, and the grey
// in byte 2 of each doubled sum into bytes 0 to 2, byte 3 cleared.
constexpr int Green0 = int(0x80018001u), Green1 = int(0x80058005u), Green2 = int(0x80098009u),
              Green3 = int(0x800D800Du);
constexpr int Spread0 = int(0x80020202u), Spread1 = int(0x80060606u), Spread2 = int(0x800A0A0Au),
              Spread3 = int(0x800E0E0Eu);

void decolorizeRowPlain(const quint32 *from, quint32 *to, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i)
        to[i] = greyPixel(from[i]);
}

__attribute__((target("avx2"))) void decolorizeRowAvx2(const quint32 *from, quint32 *to, qsizetype count)
{
    const __m256i pairs = _mm256_set1_epi32(0x00FF00FF);
    const __m256i blueRed = _mm256_set1_epi32(BlueRedWeights);
    const __m256i green = _mm256_set1_epi32(GreenWeights);
    const __m256i greenTwice = _mm256_setr_epi32(Green0, Green1, Green2, Green3, Green0, Green1, Green2, Green3);
    const __m256i spread = _mm256_setr_epi32(Spread0, Spread1, Spread2, Spread3, Spread0, Spread1, Spread2, Spread3);
    const __m256i opaque = _mm256_set1_epi32(OpaqueBlack);
    qsizetype i = 0;
    for (; i + 8 <= count; i += 8) {
        if (i % 16 == 0) {
            _mm_prefetch(reinterpret_cast<const char *>(from + i + PrefetchFar), _MM_HINT_T1);
            _mm_prefetch(reinterpret_cast<const char *>(from + i + PrefetchNear), _MM_HINT_T0);
        }
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(from + i));
        const __m256i br = _mm256_and_si256(pixels, pairs);
        const __m256i gg = _mm256_shuffle_epi8(pixels, greenTwice);
        const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(br, blueRed), _mm256_madd_epi16(gg, green));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(to + i),
                            _mm256_or_si256(_mm256_shuffle_epi8(sum, spread), opaque));
    }
    decolorizeRowPlain(from + i, to + i, count - i);
}

__attribute__((target("avx512bw"))) inline __m512i greyOf16(__m512i pixels)
{
    const __m512i br = _mm512_and_si512(pixels, _mm512_set1_epi32(0x00FF00FF));
    const __m512i gg = _mm512_shuffle_epi8(pixels, _mm512_setr4_epi32(Green0, Green1, Green2, Green3));
    const __m512i sum = _mm512_add_epi32(_mm512_madd_epi16(br, _mm512_set1_epi32(BlueRedWeights)),
                                         _mm512_madd_epi16(gg, _mm512_set1_epi32(GreenWeights)));
    const __m512i grey = _mm512_shuffle_epi8(sum, _mm512_setr4_epi32(Spread0, Spread1, Spread2, Spread3));
    return _mm512_or_si512(grey, _mm512_set1_epi32(OpaqueBlack));
}

// Up to 16 pixels as a masked part of one vector.
__attribute__((target("avx512bw"))) inline void decolorizeFew(const quint32 *from, quint32 *to, qsizetype count)
{
    const __mmask16 lanes = __mmask16((1u << count) - 1);
    _mm512_mask_storeu_epi32(to, lanes, greyOf16(_mm512_maskz_loadu_epi32(lanes, from)));
}

// Four vectors a step, and the rows ahead asked for early: the arithmetic would otherwise hold back the
// loads, and the walk would run at two thirds of the speed of memory. Into a row of its own, the result
// streams past the cache: nothing needs the old contents of that memory read in first.
template<bool Stream>
__attribute__((target("avx512bw"))) inline qsizetype decolorizeVectors(const quint32 *from, quint32 *to,
                                                                       qsizetype count)
{
    qsizetype i = 0;
    for (; i + 64 <= count; i += 64) {
        for (int line = 0; line < 64; line += 16) {
            _mm_prefetch(reinterpret_cast<const char *>(from + i + PrefetchFar + line), _MM_HINT_T1);
            _mm_prefetch(reinterpret_cast<const char *>(from + i + PrefetchNear + line), _MM_HINT_T0);
        }
        for (int part = 0; part < 64; part += 16) {
            const __m512i grey = greyOf16(_mm512_loadu_si512(from + i + part));
            if constexpr (Stream)
                _mm512_stream_si512(reinterpret_cast<__m512i *>(to + i + part), grey);
            else
                _mm512_storeu_si512(to + i + part, grey);
        }
    }
    return i;
}

__attribute__((target("avx512bw"))) void decolorizeRowAvx512(const quint32 *from, quint32 *to, qsizetype count)
{
    qsizetype i = 0;
    if (from == to) {
        i = decolorizeVectors<false>(from, to, count);
    } else if (count >= StreamingPixels) {
        const auto misaligned = qsizetype(reinterpret_cast<quintptr>(to) % 64 / 4);
        i = misaligned ? 16 - misaligned : 0;
        decolorizeFew(from, to, i);
        i += decolorizeVectors<true>(from + i, to + i, count - i);
        _mm_sfence();
    }
    for (; i < count; i += 16)
        decolorizeFew(from + i, to + i, qMin<qsizetype>(count - i, 16));
}

// Blue against green in byte 0 and green against red in byte 1 of each pixel: zero there when it is grey.
__attribute__((target("avx512bw"))) inline __m512i differences(__m512i pixels)
{
    return _mm512_xor_si512(pixels, __m512i(__v16su(pixels) >> 8));
}

// Whether every pixel of the row is grey; a coloured row usually shows itself in its first vectors.
__attribute__((target("avx512bw"))) bool isGreyRowAvx512(const quint32 *row, qsizetype count)
{
    const __m512i greenBlueRed = _mm512_set1_epi32(0xFFFF);
    qsizetype i = 0;
    for (; i + 64 <= count; i += 64) {
        for (int line = 0; line < 64; line += 16) {
            _mm_prefetch(reinterpret_cast<const char *>(row + i + PrefetchFar + line), _MM_HINT_T1);
            _mm_prefetch(reinterpret_cast<const char *>(row + i + PrefetchNear + line), _MM_HINT_T0);
        }
        const __m512i any = _mm512_or_si512(
            _mm512_or_si512(differences(_mm512_loadu_si512(row + i)), differences(_mm512_loadu_si512(row + i + 16))),
            _mm512_or_si512(differences(_mm512_loadu_si512(row + i + 32)),
                            differences(_mm512_loadu_si512(row + i + 48))));
        if (_mm512_test_epi32_mask(any, greenBlueRed))
            return false;
    }
    for (; i < count; i += 16) {
        const __mmask16 lanes = __mmask16((1u << qMin<qsizetype>(count - i, 16)) - 1);
        if (_mm512_mask_test_epi32_mask(lanes, differences(_mm512_maskz_loadu_epi32(lanes, row + i)), greenBlueRed))
            return false;
    }
    return true;
}

bool isGreyRowPlain(const quint32 *row, qsizetype count)
{
    quint32 differences = 0;
    for (qsizetype i = 0; i < count; ++i)
        differences |= (row[i] ^ (row[i] >> 8)) & 0xFFFF;
    return differences == 0;
}

} // namespace

void decolorizeRow(const quint32 *from, quint32 *to, qsizetype count)
{
    static const auto row = decolorizeRowVersions().front().decolorizeRow;
    row(from, to, count);
}

bool isGreyRow(const quint32 *row, qsizetype count)
{
    static const auto test = decolorizeRowVersions().front().isGreyRow;
    return test(row, count);
}

std::vector<DecolorizeRowVersion> decolorizeRowVersions()
{
    __builtin_cpu_init();
    std::vector<DecolorizeRowVersion> versions;
    if (__builtin_cpu_supports("avx512bw"))
        versions.push_back({"avx512bw", decolorizeRowAvx512, isGreyRowAvx512});
    // Without AVX-512 the compiler's own vector loop tests a row for grey as well as any.
    if (__builtin_cpu_supports("avx2"))
        versions.push_back({"avx2", decolorizeRowAvx2, isGreyRowPlain});
    versions.push_back({"plain", decolorizeRowPlain, isGreyRowPlain});
    return versions;
}
