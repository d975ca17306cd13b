// Readers of the marker segments that come before the scan. Each starts
// right after its marker byte and leaves the stream after the last byte it
// read; none skips by the segment length. Each prints its fields' lines to
// the trace as it reads them and stops the decode (DecodeError) at the
// first field that breaks the rules of its walk: those of a baseline file,
// or those of an extended sequential one (16-bit quantization tables,
// Huffman tables 0 to 3, 12-bit samples refused by name).
#pragma once

#include <array>
#include <cstdint>

#include "core/byte_input.h"
#include "core/decoder.h"
#include "segments/frame.h"
#include "segments/tables.h"

void read_dqt(ByteInput& in, Walk walk, QuantTables& quant);
void read_sof0(ByteInput& in, TraceSink& trace, Walk walk, FrameHeader& frame);
void read_dht(ByteInput& in, TraceSink& trace, Walk walk, HuffmanTables& huffman);

// Builds the canonical code of a DHT table with the given counts of codes
// of each length 1 to 16 into `tree`, reading one symbol byte from the
// stream for each code as it is placed.
void build_code_tree(ByteInput& in, HuffmanTree& tree, const std::array<int32_t, 16>& counts);

// Derives the `lookup`, `coefficients` and `pairs` of a complete tree from
// its nodes.
void build_lookup(HuffmanTree& tree);

// base to the power exponent, by repeated 32-bit multiplication; a negative
// exponent stops the decode.
int32_t pow_int(int32_t base, int32_t exponent);
