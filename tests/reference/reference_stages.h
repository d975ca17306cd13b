// The stages of the scan and the output written as literally as the
// format's arithmetic states them: a bit-serial reader and tree walk, the
// direct 4096-term inverse DCT, and one byte at a time to the sink with the
// colour formulas evaluated pixel by pixel. The program's faster stages are
// tested against these.
#pragma once

#include <functional>

#include <cstdint>

#include "core/byte_input.h"
#include "core/format.h"
#include "core/io.h"
#include "scan/entropy.h"
#include "scan/planes.h"
#include "scan/transform_tables.h"
#include "segments/tables.h"

namespace reference {

// The reader's state: the byte being consumed and how many of its bits
// have been taken (8: none left).
struct BitState {
    int32_t bit_buffer = 0;
    int32_t bit_count = 8;
};

int32_t read_bit(ByteInput& in, BitState& bits);
int32_t decode_symbol(ByteInput& in, BitState& bits, const HuffmanTree& tree);
void decode_block(ByteInput& in, BitState& bits, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree,
                  int32_t& dc_pred, Block& coefficients, const CoefficientLimits& limits = BASELINE_LIMITS);
void dequantize_block(const QuantTable& table, Block& coefficients);
void idct_block(const TransformTables& tables, const Block& coefficients, Block& samples);
void write_bmp(const Picture& picture, ByteSink& bmp);
void write_oriented_bmp(const Picture& picture, int32_t orientation, ByteSink& bmp);
// Pixel (x, y) of `picture`: blue, green, red.
void bmp_pixel(const Picture& picture, int32_t x, int32_t y, uint8_t* bgr);
// A BMP of `width` x `height` pixels, each as `pixel` gives it (X, Y).
void write_pixels(int32_t width, int32_t height, const std::function<void(int32_t, int32_t, uint8_t*)>& pixel,
                  ByteSink& bmp);

}  // namespace reference
