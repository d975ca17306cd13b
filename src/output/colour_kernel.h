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

// Four pixels held as blue, green, red in the low three bytes of each lane
// go out as twelve bytes.
VECTOR_INLINE void store_pixels(uint8_t* to, Int4 pixels) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a lane's low byte comes first");
    typedef uint8_t Bytes16 __attribute__((vector_size(16)));
    const Bytes16 bytes = reinterpret_cast<Bytes16>(pixels);
    const Bytes16 packed = __builtin_shufflevector(bytes, bytes, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0, 0, 0, 0);
    std::memcpy(to, &packed, 12);
}

// The chroma samples of pixels x to x + 3 (x a multiple of 4).
VECTOR_INLINE Int4 load_chroma(ChromaLine line, int32_t x) {
    if (line.ratio == 1) return load_int4(line.samples + x);
    const int32_t* pair = line.samples + x / 2;
    return Int4{pair[0], pair[0], pair[1], pair[1]};
}

// BYTE_SHUFFLE: whether the instruction set shuffles bytes in one step
// (SSE2 does not), so that the pixels go out four at a time.
template <bool BYTE_SHUFFLE>
VECTOR_INLINE void convert_line_kernel(const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr) {
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const Double4 luma = to_double4(load_int4(y + x));
        const Double4 blue_difference = to_double4(load_chroma(cb, x) - 128);
        const Double4 red_difference = to_double4(load_chroma(cr, x) - 128);
        const Int4 b = clamp_ints(truncate_to_ints(blue_difference * 1.772 + luma), 0, 255);
        const Int4 g = clamp_ints(
            truncate_to_ints((luma - blue_difference * 0.34414) - red_difference * 0.71414), 0, 255);
        const Int4 r = clamp_ints(truncate_to_ints(red_difference * 1.402 + luma), 0, 255);
        if (BYTE_SHUFFLE) {
            store_pixels(bgr + 3 * x, b | g << 8 | r << 16);
        } else {
            for (int lane = 0; lane < 4; ++lane) {
                bgr[3 * (x + lane)] = static_cast<uint8_t>(b[lane]);
                bgr[3 * (x + lane) + 1] = static_cast<uint8_t>(g[lane]);
                bgr[3 * (x + lane) + 2] = static_cast<uint8_t>(r[lane]);
            }
        }
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
