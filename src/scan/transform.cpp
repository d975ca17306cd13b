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

void dequantize_block(const BlockQuant& quant, SimdPath simd, const AcBlock& ac, int32_t dc, Block& coefficients) {
#ifdef JPEG2BMP_AVX2
    if (simd == SimdPath::AVX2) return dequantize_block_avx2(quant, ac, dc, coefficients);
#endif
    (void)simd;
    dequantize_kernel<Short4, Int4, Unsigned4>(quant, ac, dc, coefficients);
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
