// The colour conversion compiled for AVX2 (without FMA), built the same way
// as the AVX2 inverse DCT: this function alone, with its callees inlined.
#include "output/bmp.h"
#include "output/colour_kernel.h"

__attribute__((target("avx2"), flatten)) void convert_line_avx2(const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width,
                                                                 uint8_t* bgr) {
    convert_line_kernel<true>(y, cb, cr, width, bgr);
}
