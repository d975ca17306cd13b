#include "core/decoder_state.h"

#include "core/fatal.h"
#include "scan/transform.h"

void init_tables(DecoderState& state) {
    // A component whose table no DQT defines is dequantized by 1.
    for (auto& table : state.quant_tables) table.fill(1);
    for (auto& row : state.huffman_trees)
        for (auto& slot : row) slot.reset();
    // 8 bits taken: the first bit of a scan fetches a fresh byte.
    state.bit_count = 8;
    fill_transform_tables(state);
}

int32_t pow_int(int32_t base, int32_t exponent) {
    if (exponent < 0) fatal_warning("pow_int error!, P = %d\n", exponent);
    // Unsigned so that a product past 32 bits wraps instead of overflowing;
    // the callers' exponents (at most 30) never get there.
    uint32_t result = 1;
    for (int32_t i = 0; i < exponent; ++i) result *= static_cast<uint32_t>(base);
    return static_cast<int32_t>(result);
}
