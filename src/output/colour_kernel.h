// The YCbCr to BGR conversion of the JFIF file format for one line,
// included by each instruction-set variant:
//   b = (Cb - 128) 1.772 + Y
//   g = (Y - (Cb - 128) 0.34414) - (Cr - 128) 0.71414
//   r = (Cr - 128) 1.402 + Y
// in double precision in exactly this grouping, truncated toward zero and
// clamped to 0..255. Four pixels go side by side in vector lanes, the rest
// one by one with the same operations.
#pragma once

#include "core/vectors.h"
#include "output/bmp.h"

namespace {

VECTOR_INLINE uint8_t clamp_to_byte(double value) {
    // The value is within a few hundred of 0..255, so it fits an int.
    const int32_t i = static_cast<int32_t>(value);
    return static_cast<uint8_t>(i > 255 ? 255 : (i < 0 ? 0 : i));
}

typedef uint8_t Bytes16 __attribute__((vector_size(16)));

// The blue, green and red values of four pixels clamped to 0..255, as the
// bytes b0 b1 b2 b3 g0 g1 g2 g3 r0 r1 r2 r3 and four zeros. Every value lies
// within a few hundred of 0..255.
VECTOR_INLINE Bytes16 clamped_bytes(Int4 b, Int4 g, Int4 r) {
#ifdef __SSE2__
    // Packing to 16 bits and on to unsigned 8 bits with saturation clamps.
    return reinterpret_cast<Bytes16>(
        __builtin_ia32_packuswb128(__builtin_ia32_packssdw128(b, g), __builtin_ia32_packssdw128(r, Int4{})));
#else
    b = clamp_ints(b, 0, 255), g = clamp_ints(g, 0, 255), r = clamp_ints(r, 0, 255);
    Bytes16 bytes{};
    for (int lane = 0; lane < 4; ++lane) {
        bytes[lane] = static_cast<uint8_t>(b[lane]);
        bytes[4 + lane] = static_cast<uint8_t>(g[lane]);
        bytes[8 + lane] = static_cast<uint8_t>(r[lane]);
    }
    return bytes;
#endif
}

// Four pixels' bytes from clamped_bytes go out as blue, green, red.
template <bool BYTE_SHUFFLE>
VECTOR_INLINE void store_pixels(uint8_t* to, Bytes16 bytes) {
    if (BYTE_SHUFFLE) {
        const Bytes16 bgr = __builtin_shufflevector(bytes, bytes, 0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11, 12, 12, 12, 12);
        std::memcpy(to, &bgr, 12);
    } else {
        for (int lane = 0; lane < 4; ++lane) {
            to[3 * lane] = bytes[lane];
            to[3 * lane + 1] = bytes[4 + lane];
            to[3 * lane + 2] = bytes[8 + lane];
        }
    }
}

// The chroma samples of pixels x to x + 3 (x a multiple of 4).
VECTOR_INLINE Int4 load_chroma(ChromaLine line, int32_t x) {
    if (line.ratio == 1) return load_vector<Int4>(line.samples + x);
    const int32_t* pair = line.samples + x / 2;
    return Int4{pair[0], pair[0], pair[1], pair[1]};
}

// BYTE_SHUFFLE: whether the instruction set shuffles bytes in one step
// (SSE2 does not), so that the pixels go out four at a time.
template <bool BYTE_SHUFFLE>
VECTOR_INLINE void convert_line_kernel(const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr) {
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const Double4 luma = to_double4(load_vector<Int4>(y + x));
        const Double4 blue_difference = to_double4(load_chroma(cb, x) - 128);
        const Double4 red_difference = to_double4(load_chroma(cr, x) - 128);
        const Int4 b = truncate_to_ints(blue_difference * 1.772 + luma);
        const Int4 g = truncate_to_ints((luma - blue_difference * 0.34414) - red_difference * 0.71414);
        const Int4 r = truncate_to_ints(red_difference * 1.402 + luma);
        store_pixels<BYTE_SHUFFLE>(bgr + 3 * x, clamped_bytes(b, g, r));
    }
    for (; x < width; ++x) {
        const double luma = y[x];
        const double blue_difference = cb.samples[x / cb.ratio] - 128;
        const double red_difference = cr.samples[x / cr.ratio] - 128;
        bgr[3 * x] = clamp_to_byte(blue_difference * 1.772 + luma);
        bgr[3 * x + 1] = clamp_to_byte((luma - blue_difference * 0.34414) - red_difference * 0.71414);
        bgr[3 * x + 2] = clamp_to_byte(red_difference * 1.402 + luma);
    }
}

}  // namespace
