// What the segment readers and the scan share of the JPEG format (ITU-T
// T.81): the marker codes, the zigzag order of a block's coefficients, the
// sign rule of coded values and the 8 x 8 block grid.
#pragma once

#include <array>
#include <cstdint>

// A marker is 0xFF followed by its code.
inline constexpr int MARKER_PREFIX = 0xFF;

enum MarkerCode : int {
    SOF0 = 0xC0,  // baseline sequential, Huffman coding
    SOF1 = 0xC1,  // extended sequential, Huffman coding
    SOF2 = 0xC2,  // progressive, Huffman coding
    SOF3 = 0xC3,  // lossless, Huffman coding
    DHT = 0xC4,
    SOF5 = 0xC5,  // SOF5 to SOF7: hierarchical, Huffman coding
    SOF7 = 0xC7,
    JPG = 0xC8,   // reserved
    SOF9 = 0xC9,  // extended sequential, arithmetic coding
    SOF10 = 0xCA,  // progressive, arithmetic coding
    SOF11 = 0xCB,  // lossless, arithmetic coding
    DAC = 0xCC,
    SOF13 = 0xCD,  // SOF13 to SOF15: hierarchical, arithmetic coding
    SOF15 = 0xCF,
    RST0 = 0xD0,  // RST0 to RST7: restart markers, numbered modulo 8
    RST7 = 0xD7,
    SOI = 0xD8,
    EOI = 0xD9,
    SOS = 0xDA,
    DQT = 0xDB,
    DNL = 0xDC,
    DRI = 0xDD,
    APP0 = 0xE0,  // APP0 to APP15: application segments
    APP15 = 0xEF,
    COM = 0xFE,
    TEM = 0x01,
};

// A block of 8 x 8 values held as 64 entries, line after line: the
// coefficient of horizontal frequency u and vertical frequency v at place
// 8 v + u, the sample of column x and line y at place 8 y + x.
inline constexpr int32_t BLOCK_SIZE = 64;
using Block = std::array<int32_t, BLOCK_SIZE>;
// A block's AC coefficients at the same places, in the 16 bits any of them
// fits in (15 value bits at most); place 0, the DC one's, unused.
using AcBlock = std::array<int16_t, BLOCK_SIZE>;

// The zigzag sequence (figure A.6) as block places: index 1 is place 1,
// (u, v) = (1, 0), the first coefficient right of the DC one; index 2 is
// place 8, the one below it.
inline constexpr std::array<uint8_t, BLOCK_SIZE> ZIGZAG = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// EXTEND (F.2.2.1): the signed value of the s-bit number v; s is 0 to 30,
// so 2^s is a shift.
inline int32_t extend(int32_t v, int32_t s) {
    const int32_t p = static_cast<int32_t>(uint32_t{1} << s);
    return v < p / 2 ? v - p + 1 : v;
}

// A size rounded up to whole 8 x 8 blocks.
inline int32_t round_up_to_block(int32_t size) { return size % 8 == 0 ? size : size - size % 8 + 8; }

// a / b rounded up, for sizes (a >= 0, b > 0).
inline int32_t ceil_div(int32_t a, int32_t b) { return (a + b - 1) / b; }
