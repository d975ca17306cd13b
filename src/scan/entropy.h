// Entropy decoding of one block: the bit reader, the code lookup, the sign
// rule and the block decoder.
#pragma once

#include <cstdint>

#include "core/decoder_state.h"

// The next bit of the entropy-coded data. A 0xFF byte supplies eight 1 bits
// and the byte after it is dropped; no marker is recognised in the data.
int32_t read_bit(DecoderState& state);

// The symbol of the leaf that the next bits lead to in `tree`.
int32_t decode_symbol(DecoderState& state, const HuffmanTree& tree);

// EXTEND of the JPEG standard (F.2.2.1): the signed value of the s-bit
// number v.
// s is 0 to 30, so 2^s is a shift.
inline int32_t extend(int32_t v, int32_t s) {
    const int32_t p = static_cast<int32_t>(uint32_t{1} << s);
    return v < p / 2 ? v - p + 1 : v;
}

// Decodes one block's 64 quantized coefficients into `coef_block` at their
// natural positions; `dc_pred` is the component's DC predictor, read and
// replaced.
void decode_block(DecoderState& state, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred);

// Ends the reading of a scan: the bytes fetched ahead and not used go back
// to the input, which then stands after the byte that held the last bit
// used (and after the byte a 0xFF drops), and the reader is empty again.
void finish_scan_bits(DecoderState& state);
