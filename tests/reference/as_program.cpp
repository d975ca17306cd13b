// The reference stages in the places of the program's own, so that the
// rest of the program (marker walk, segment readers, MCU walk) runs with
// them: the reference build of the whole program.
#include "output/bmp.h"
#include "reference/reference_stages.h"
#include "scan/entropy.h"
#include "scan/transform.h"

namespace {

// One process decodes at most one scan.
reference::BitState literal_bits;

}  // namespace

void decode_block(BitReader& bits, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred,
                  Block& coefficients) {
    reference::decode_block(bits.input, literal_bits, dc_tree, ac_tree, dc_pred, coefficients);
}
void finish_scan_bits(BitReader&) {}
void dequantize_block(const QuantTable& table, Block& coefficients) { reference::dequantize_block(table, coefficients); }
void idct_block(const TransformTables& tables, SimdPath, const Block& coefficients, Block& samples) {
    reference::idct_block(tables, coefficients, samples);
}
void write_bmp(const Picture& picture, SimdPath, bool, ByteSink& bmp) { reference::write_bmp(picture, bmp); }
