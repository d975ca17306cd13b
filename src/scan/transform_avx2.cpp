// The inverse DCT compiled for AVX2 (without FMA: every product and sum is
// rounded on its own, as in the baseline variant). Only this function is
// built for AVX2, with everything it calls inlined into it: no shared
// inline function is ever compiled for AVX2, so the linker cannot hand an
// AVX2 copy to code that runs on processors without it.
#include "scan/transform.h"
#include "scan/transform_kernel.h"

__attribute__((target("avx2"), flatten)) void idct_block_avx2(const TransformTables& tables, const Block& coefficients,
                                                               Block& samples) {
    idct_block_kernel<Double4, Float8, 4>(tables, coefficients, samples);
}
