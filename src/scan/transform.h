// Dequantization and the inverse DCT of one 8 x 8 block.
#pragma once

#include <array>
#include <cstdint>

#include "core/decoder_state.h"

// The zigzag sequence of the JPEG standard (ITU-T T.81, figure A.6) as
// (u, v), u the horizontal frequency: index 1 is (1, 0), the first
// coefficient right of the DC one.
inline constexpr int32_t ZIGZAG_UV[64][2] = {
    {0, 0}, {1, 0}, {0, 1}, {0, 2}, {1, 1}, {2, 0}, {3, 0}, {2, 1}, {1, 2}, {0, 3}, {0, 4}, {1, 3}, {2, 2},
    {3, 1}, {4, 0}, {5, 0}, {4, 1}, {3, 2}, {2, 3}, {1, 4}, {0, 5}, {0, 6}, {1, 5}, {2, 4}, {3, 3}, {4, 2},
    {5, 1}, {6, 0}, {7, 0}, {6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}, {1, 6}, {0, 7}, {1, 7}, {2, 6}, {3, 5},
    {4, 4}, {5, 3}, {6, 2}, {7, 1}, {7, 2}, {6, 3}, {5, 4}, {4, 5}, {3, 6}, {2, 7}, {3, 7}, {4, 6}, {5, 5},
    {6, 4}, {7, 3}, {7, 4}, {6, 5}, {5, 6}, {4, 7}, {5, 7}, {6, 6}, {7, 5}, {7, 6}, {6, 7}, {7, 7},
};

// The same order as places 8u + v of a block: one load where (u, v) takes
// two.
inline constexpr auto ZIGZAG_PLACE = [] {
    std::array<uint8_t, 64> places{};
    for (int k = 0; k < 64; ++k) places[k] = static_cast<uint8_t>(8 * ZIGZAG_UV[k][0] + ZIGZAG_UV[k][1]);
    return places;
}();

// Fills `zigzag`, `c_table` and `cos_table`; called once by init_tables.
void fill_transform_tables(DecoderState& state);

// Multiplies each coefficient of `coef_block` by its entry of
// quant_tables[Tq] (Tq 0 to 3), in 32-bit arithmetic that wraps.
void dequantize_block(DecoderState& state, int32_t Tq);

// The inverse DCT of `coef_block` into `sample_block`: level-shifted by
// 128 and clamped to 0..255, with the vector instructions of `simd`.
void idct_block(DecoderState& state);

// The variants that idct_block chooses from; they give the same samples.
void idct_block_baseline(DecoderState& state);
#ifdef JPEG2BMP_AVX2
void idct_block_avx2(DecoderState& state);
#endif
