// Dequantization and the inverse DCT of one 8 x 8 block.
#pragma once

#include <cstdint>

#include "core/decoder_state.h"

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
