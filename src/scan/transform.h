// Dequantization and the inverse DCT of one 8 x 8 block.
#pragma once

#include "core/decoder.h"
#include "core/format.h"
#include "scan/transform_tables.h"
#include "segments/tables.h"

// Multiplies each coefficient by its entry of `table` (in zigzag order), in
// 32-bit arithmetic that wraps.
void dequantize_block(const QuantTable& table, Block& coefficients);

// The inverse DCT of `coefficients` into `samples`: level-shifted by 128
// and clamped to 0..255, with the vector instructions of `simd`.
void idct_block(const TransformTables& tables, SimdPath simd, const Block& coefficients, Block& samples);

// The variants that idct_block chooses from; they give the same samples.
void idct_block_baseline(const TransformTables& tables, const Block& coefficients, Block& samples);
#ifdef JPEG2BMP_AVX2
void idct_block_avx2(const TransformTables& tables, const Block& coefficients, Block& samples);
#endif
