// The reference stages in the places of the program's own, so that the
// rest of the program (marker walk, segment readers, MCU walk) runs with
// them: the reference build of the whole program.
#include <cstdlib>

#include "core/decode_error.h"
#include "core/messages.h"
#include "output/bmp.h"
#include "reference/reference_stages.h"
#include "scan/entropy.h"
#include "scan/transform.h"

namespace {

// The literal reader reads no byte ahead: at the end of a scan or of a
// restart interval it only drops the rest of the byte it holds.
reference::BitState literal_bits;

}  // namespace

int32_t read_bit(BitReader& bits) { return reference::read_bit(bits.input, literal_bits); }
int32_t read_bits(BitReader& bits, int32_t count) {
    uint32_t v = 0;
    for (int32_t i = 0; i < count; ++i) v = ((v << 1) | static_cast<uint32_t>(read_bit(bits))) & 0x7FFFFFFFu;
    return static_cast<int32_t>(v);
}
int32_t decode_symbol(BitReader& bits, const HuffmanTree& tree) {
    return reference::decode_symbol(bits.input, literal_bits, tree);
}
void decode_block(BitReader& bits, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred,
                  Block& coefficients, const CoefficientLimits& limits) {
    reference::decode_block(bits.input, literal_bits, dc_tree, ac_tree, dc_pred, coefficients, limits);
}
void decode_block(BitReader& bits, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred,
                  AcBlock& ac, const CoefficientLimits& limits) {
    Block coefficients;
    reference::decode_block(bits.input, literal_bits, dc_tree, ac_tree, dc_pred, coefficients, limits);
    for (int i = 0; i < 64; ++i) ac[i] = static_cast<int16_t>(coefficients[i]);
}
void finish_scan_bits(BitReader&) { literal_bits = reference::BitState{}; }
// The table back in zigzag order, for the literal stage.
void dequantize_block(const BlockQuant& quant, SimdPath, const AcBlock& ac, int32_t dc, Block& coefficients) {
    QuantTable table;
    for (int k = 0; k < 64; ++k) table[k] = static_cast<int32_t>(quant.steps[ZIGZAG[k]]);
    for (int i = 0; i < 64; ++i) coefficients[i] = ac[i];
    coefficients[0] = dc;
    reference::dequantize_block(table, coefficients);
}
void idct_block(const TransformTables& tables, SimdPath, const Block& coefficients, Block& samples) {
    reference::idct_block(tables, coefficients, samples);
}
void write_oriented_bmp(const Picture& picture, int32_t orientation, SimdPath, ByteSink& bmp) {
    reference::write_oriented_bmp(picture, orientation, bmp);
}

// The stream holds every pixel as the bands come, and writes the file
// literally once the picture is whole.
struct BmpStream::Lane {};
BmpStream::BmpStream(ByteSink& bmp, SimdPath simd) : bmp_(bmp), simd_(simd) {}
BmpStream::~BmpStream() {
    if (!finished_) bmp_.discard();
}
void BmpStream::Release::operator()(uint8_t* bytes) const { std::free(bytes); }
void BmpStream::begin(const Picture& picture, int32_t) {
    picture_ = &picture;
    row_bytes_ = 3 * static_cast<size_t>(picture.width);
    held_.reset(static_cast<uint8_t*>(std::calloc(row_bytes_ * static_cast<size_t>(picture.height) + 1, 1)));
    if (!held_) fail(text::out_of_memory());
}
void BmpStream::write_lines(int32_t first, int32_t count, Runner) {
    for (int32_t y = first; y < first + count; ++y)
        for (int32_t x = 0; x < picture_->width; ++x)
            reference::bmp_pixel(*picture_, x, y, held_.get() + row_bytes_ * static_cast<size_t>(y) + 3 * x);
}
void BmpStream::finish() {
    finished_ = true;
    reference::write_pixels(picture_->width, picture_->height, [&](int32_t x, int32_t y, uint8_t* bgr) {
        for (int i = 0; i < 3; ++i) bgr[i] = held_[row_bytes_ * static_cast<size_t>(y) + 3 * x + i];
    }, bmp_);
}
