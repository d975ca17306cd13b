// The dequantization and the inverse DCT compiled for AVX2 (without FMA:
// every product and sum is rounded on its own, as in the baseline
// variant). Only these functions are built for AVX2, each with everything
// it calls inlined into it: no shared inline function is ever compiled for
// AVX2, so the linker cannot hand an AVX2 copy to code that runs on
// processors without it.
#include "scan/transform.h"
#include "scan/transform_kernel.h"

__attribute__((target("avx2"), flatten)) void idct_block_avx2(const TransformTables& tables, const Block& coefficients,
                                                               Block& samples) {
    idct_block_kernel<Double4, Float8, 4>(tables, coefficients, samples);
}

__attribute__((target("avx2"), flatten)) void dequantize_block_avx2(const BlockQuant& quant, const AcBlock& ac,
                                                                     int32_t dc, Block& coefficients) {
    dequantize_kernel<Short8, Int8, Unsigned8>(quant, ac, dc, coefficients);
}
