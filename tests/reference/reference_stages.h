// The stages of the scan and the output written as literally as the
// format's arithmetic states them: a bit-serial reader and tree walk, the
// direct 4096-term inverse DCT, and one putc per output byte with the
// colour formulas evaluated pixel by pixel. The program's faster stages are
// tested against these.
#pragma once

#include <cstdint>
#include <vector>

#include "core/decoder_state.h"

namespace reference {

// The reader's state: the byte being consumed and how many of its bits
// have been taken (8: none left).
struct BitState {
    int32_t bit_buffer = 0;
    int32_t bit_count = 8;
};

int32_t read_bit(DecoderState& state, BitState& bits);
int32_t decode_symbol(DecoderState& state, BitState& bits, const HuffmanTree& tree);
void decode_block(DecoderState& state, BitState& bits, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree,
                  int32_t& dc_pred);
void dequantize_block(DecoderState& state, int32_t Tq);
void idct_block(DecoderState& state);
void write_bmp(DecoderState& state, const std::vector<int32_t>& index);

}  // namespace reference
