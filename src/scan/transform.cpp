// Dequantization and the inverse DCT of the JPEG standard (ITU-T T.81,
// A.3.3), evaluated directly in double precision:
//
//   s(x, y) = 1/4 sum_u sum_v C(u) C(v) S(v, u) cos((2x+1) u pi/16) cos((2y+1) v pi/16)
//
// then level-shifted by 128 and clamped. The order of the terms and the
// grouping of each product are part of the output: every operation is
// rounded on its own, and a different order changes samples whose sum / 4
// lies close to an integer.
#include "scan/transform.h"

#include "scan/transform_kernel.h"

void dequantize_block(const BlockQuant& quant, Block& coefficients) {
    // Place by place: the loop takes the vector multiplications.
    for (int i = 0; i < BLOCK_SIZE; ++i)
        coefficients[i] = static_cast<int32_t>(static_cast<uint32_t>(coefficients[i]) * quant.steps[i]);
}

void idct_block_baseline(const TransformTables& tables, const Block& coefficients, Block& samples) {
    idct_block_kernel<Double2, Float4, 2>(tables, coefficients, samples);
}

void idct_block(const TransformTables& tables, SimdPath simd, const Block& coefficients, Block& samples) {
#ifdef JPEG2BMP_AVX2
    if (simd == SimdPath::AVX2) return idct_block_avx2(tables, coefficients, samples);
#endif
    (void)simd;
    idct_block_baseline(tables, coefficients, samples);
}
