// The reference stages in the places of the program's own, so that the
// rest of the program (marker walk, segment readers, MCU walk) runs with
// them: the reference build of the whole program.
#include "reference/reference_stages.h"
#include "scan/entropy.h"
#include "scan/transform.h"
#include "output/bmp.h"

namespace {

// One process decodes at most one scan.
reference::BitState bits;

}  // namespace

void decode_block(DecoderState& state, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred) {
    reference::decode_block(state, bits, dc_tree, ac_tree, dc_pred);
}
void finish_scan_bits(DecoderState&) {}
void dequantize_block(DecoderState& state, int32_t Tq) { reference::dequantize_block(state, Tq); }
void idct_block(DecoderState& state) { reference::idct_block(state); }
void write_bmp(DecoderState& state, const std::vector<int32_t>& index) { reference::write_bmp(state, index); }
