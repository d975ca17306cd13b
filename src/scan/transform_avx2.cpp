// The inverse DCT compiled for AVX2 (without FMA: every product and sum is
// rounded on its own, as in the baseline variant).
#include "scan/transform.h"
#include "scan/transform_kernel.h"

void idct_block_avx2(DecoderState& state) { idct_block_kernel<Double4, 4>(state); }
