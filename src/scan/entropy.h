// Entropy decoding of one block: the bit reader, the code-tree walk, the
// sign rule and the block decoder.
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
int32_t extend(int32_t v, int32_t s);

// Decodes one block's 64 quantized coefficients into `coef_block` at their
// natural positions; `dc_pred` is the component's DC predictor, read and
// replaced.
void decode_block(DecoderState& state, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred);
