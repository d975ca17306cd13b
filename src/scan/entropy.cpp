// The entropy-coded data of a baseline scan (ITU-T T.81, F.2.2): per
// block, a DC difference coded as a category T and T value bits, then AC
// coefficients in zigzag order as run/size symbols RS with S value bits,
// 0x00 ending the block and 0xF0 standing for sixteen zeros.
#include "scan/entropy.h"

#include "core/fatal.h"
#include "core/input.h"

namespace {

constexpr int32_t END_OF_BLOCK = 0x00;
// A DC difference of category 31 or more does not fit in 32 bits; baseline
// data has categories 0 to 11.
constexpr int32_t MAX_DC_CATEGORY = 30;

// Reads `count` value bits, most significant first, keeping the low 31 bits
// so that a long run cannot overflow.
int32_t read_bits(DecoderState& state, int32_t count) {
    uint32_t v = 0;
    for (int32_t i = 0; i < count; ++i) v = ((v << 1) | static_cast<uint32_t>(read_bit(state))) & 0x7FFFFFFFu;
    return static_cast<int32_t>(v);
}

int32_t& at_zigzag(DecoderState& state, int32_t k) {
    return state.coef_block[state.zigzag[k].u][state.zigzag[k].v];
}

}  // namespace

int32_t read_bit(DecoderState& state) {
    if (state.bit_count == 8) {
        state.bit_count = 0;
        const int byte = read_byte(state);
        if (byte == END_OF_INPUT) stop_at_end_of_file();
        state.bit_buffer = byte;
        // The byte after a 0xFF is dropped whatever it is; a 0xFF without
        // one is as cut short as a missing byte.
        if (byte == 0xFF && read_byte(state) == END_OF_INPUT) stop_at_end_of_file();
    }
    const int32_t bit = state.bit_buffer / 128 != 0 ? 1 : 0;
    state.bit_buffer = (state.bit_buffer % 128) * 2;
    ++state.bit_count;
    return bit;
}

int32_t decode_symbol(DecoderState& state, const HuffmanTree& tree) {
    // Every step goes to a node taken into use after its parent, so the walk
    // ends within the tree's size.
    int32_t node = 0;
    for (;;) {
        const HuffmanNode& here = tree.nodes[node];
        node = read_bit(state) ? here.child1 : here.child0;
        if (node == NODE_NONE) fatal_warning("Warning! invalid Huffman code\n");
        const HuffmanNode& next = tree.nodes[node];
        if (next.child0 == NODE_NONE) {
            if (next.value == NODE_NONE) fatal_warning("Warning! invalid Huffman code\n");
            return next.value;
        }
    }
}

int32_t extend(int32_t v, int32_t s) {
    const int32_t p = pow_int(2, s);
    return v < p / 2 ? v - p + 1 : v;
}

void decode_block(DecoderState& state, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred) {
    const int32_t t = decode_symbol(state, dc_tree);
    int32_t difference = 0;
    if (t != 0) {
        const int32_t v = read_bits(state, t);
        if (t > MAX_DC_CATEGORY) fatal_warning("Warning! DC category %d out of range\n", t);
        difference = extend(v, t);
    }
    // Corrupt data can push the predictor past 32 bits: it wraps.
    dc_pred = static_cast<int32_t>(static_cast<uint32_t>(dc_pred) + static_cast<uint32_t>(difference));
    state.coef_block[0][0] = dc_pred;

    int32_t k = 1;
    for (;;) {
        const int32_t rs = decode_symbol(state, ac_tree);
        if (rs == END_OF_BLOCK) {
            for (; k < 64; ++k) at_zigzag(state, k) = 0;
            return;
        }
        const int32_t r = rs / 16;
        const int32_t s = rs % 16;
        const int32_t value = extend(read_bits(state, s), s);
        if (k + r > 63) fatal_warning("Warning! AC run past the end of the block\n");
        for (int32_t i = 0; i < r; ++i) at_zigzag(state, k + i) = 0;
        at_zigzag(state, k + r) = value;
        k += r + 1;
        if (k == 64) return;
    }
}
