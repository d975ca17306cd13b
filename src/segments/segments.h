// Readers of the marker segments that come before the scan. Each starts
// right after its marker byte and leaves the stream after the last byte it
// read; none skips by the segment length.
#pragma once

#include <array>
#include <cstdint>

#include "core/decoder_state.h"

void read_dqt(DecoderState& state);
void read_sof0(DecoderState& state);
void read_dht(DecoderState& state);

// Builds the canonical code of a DHT table with the given counts of codes
// of each length 1 to 16 into `tree`, reading one symbol byte from the
// stream for each code as it is placed.
void build_code_tree(DecoderState& state, HuffmanTree& tree, const std::array<int32_t, 16>& counts);

// Derives the `lookup` and `coefficients` of a complete tree from its nodes.
void build_lookup(HuffmanTree& tree);
