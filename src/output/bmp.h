// The BMP writer: upsampling, colour conversion and the file itself.
#pragma once

#include <cstdint>

#include "core/decoder.h"
#include "core/io.h"
#include "scan/planes.h"

inline constexpr uint32_t BMP_HEADER_BYTES = 14 + 40;

// The bytes of one BMP row: 3 x `width` padded to a multiple of 4.
inline uint64_t bmp_row_bytes(int32_t width) {
    return 3 * static_cast<uint64_t>(width) + static_cast<uint64_t>(width) % 4;
}

// The size of a 24-bit BMP file of the given picture.
inline uint64_t bmp_file_size(int32_t width, int32_t height) {
    return BMP_HEADER_BYTES + static_cast<uint64_t>(height) * bmp_row_bytes(width);
}

// Writes planes 0, 1, 2 of `picture` as Y, Cb, Cr (a single plane as grey)
// to `bmp`, bottom line first, and closes it; converts rows on a second
// thread too with `second_thread`. A failed write stops the decode.
void write_bmp(const Picture& picture, SimdPath simd, bool second_thread, ByteSink& bmp);

// Writes `picture` turned upright as Exif orientation `orientation` (2 to
// 8) says: 2 mirrored left to right, 3 turned 180 degrees, 4 mirrored top
// to bottom, 5 transposed, 6 turned 90 degrees clockwise, 7 transposed and
// turned 180 degrees, 8 turned 90 degrees counter-clockwise. It holds the
// whole picture's rows to turn them.
void write_oriented_bmp(const Picture& picture, int32_t orientation, SimdPath simd, ByteSink& bmp);

// A line of chroma samples, each standing for `ratio` pixels (1 or 2).
struct ChromaLine {
    const int32_t* samples;
    int32_t ratio;
};

// Converts one line of `width` pixels to blue, green, red bytes. The
// variants give the same bytes.
void convert_line(SimdPath simd, const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr);
void convert_line_baseline(const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr);
#ifdef JPEG2BMP_AVX2
void convert_line_avx2(const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr);
#endif
