// Dequantization and the inverse DCT of one 8 x 8 block.
#pragma once

#include <array>
#include <cstdint>

#include "core/decoder.h"
#include "core/format.h"
#include "scan/transform_tables.h"
#include "segments/tables.h"

// A quantization table at the block places of its coefficients (entry
// 8v + u for coefficient (u, v)), so that the dequantization is one
// multiplication a place, in line.
struct BlockQuant {
    std::array<uint32_t, BLOCK_SIZE> steps;
};

inline BlockQuant block_quant(const QuantTable& table) {
    BlockQuant quant{};
    for (int k = 0; k < BLOCK_SIZE; ++k) quant.steps[ZIGZAG[k]] = static_cast<uint32_t>(table[k]);
    return quant;
}

// The coefficients of a block decoded in 16 bits (`ac`, with the DC one,
// `dc`, at place 0 instead), each multiplied by its entry of `quant` in
// 32-bit arithmetic that wraps, with the vector instructions of `simd`.
void dequantize_block(const BlockQuant& quant, SimdPath simd, const AcBlock& ac, int32_t dc, Block& coefficients);

// The inverse DCT of `coefficients` into `samples`: level-shifted by 128
// and clamped to 0..255, with the vector instructions of `simd`.
void idct_block(const TransformTables& tables, SimdPath simd, const Block& coefficients, Block& samples);

// The variants that idct_block chooses from; they give the same samples.
void idct_block_baseline(const TransformTables& tables, const Block& coefficients, Block& samples);
#ifdef JPEG2BMP_AVX2
void idct_block_avx2(const TransformTables& tables, const Block& coefficients, Block& samples);
void dequantize_block_avx2(const BlockQuant& quant, const AcBlock& ac, int32_t dc, Block& coefficients);
#endif
