// The colour conversion compiled for AVX2 (without FMA).
#include "output/bmp.h"
#include "output/colour_kernel.h"

void convert_line_avx2(const int32_t* y, const int32_t* cb, const int32_t* cr, int32_t width, uint8_t* bgr) {
    convert_line_kernel(y, cb, cr, width, bgr);
}
