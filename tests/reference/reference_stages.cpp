#include "reference/reference_stages.h"

#include <cstdio>

#include "core/fatal.h"
#include "core/input.h"
#include "output/bmp.h"
#include "scan/entropy.h"

namespace reference {

namespace {

int32_t read_bits(DecoderState& state, BitState& bits, int32_t count) {
    uint32_t v = 0;
    for (int32_t i = 0; i < count; ++i) v = ((v << 1) | static_cast<uint32_t>(read_bit(state, bits))) & 0x7FFFFFFFu;
    return static_cast<int32_t>(v);
}

int32_t& at_zigzag(DecoderState& state, int32_t k) {
    return state.coef_block[state.zigzag[k].u][state.zigzag[k].v];
}

int32_t truncate_to_int(double sum) {
    if (sum >= 2147483648.0) return 2147483647;
    if (sum <= -2147483649.0) return -2147483647 - 1;
    return static_cast<int32_t>(sum);
}

void put_byte(DecoderState& state, int byte) {
    if (std::putc(byte, state.out_file) == EOF) fatal_warning("Warning! write error : %s\n", state.bmp_name.c_str());
}

void put_u16(DecoderState& state, uint32_t value) {
    put_byte(state, static_cast<int>(value & 0xFF));
    put_byte(state, static_cast<int>((value >> 8) & 0xFF));
}

void put_u32(DecoderState& state, uint32_t value) {
    put_u16(state, value & 0xFFFF);
    put_u16(state, value >> 16);
}

int clamp_to_byte(double value) {
    const int32_t i = static_cast<int32_t>(value);
    return i > 255 ? 255 : (i < 0 ? 0 : i);
}

}  // namespace

int32_t read_bit(DecoderState& state, BitState& bits) {
    if (bits.bit_count == 8) {
        bits.bit_count = 0;
        const int byte = read_byte(state);
        if (byte == END_OF_INPUT) stop_at_end_of_file();
        bits.bit_buffer = byte;
        if (byte == 0xFF && read_byte(state) == END_OF_INPUT) stop_at_end_of_file();
    }
    const int32_t bit = bits.bit_buffer / 128 != 0 ? 1 : 0;
    bits.bit_buffer = (bits.bit_buffer % 128) * 2;
    ++bits.bit_count;
    return bit;
}

int32_t decode_symbol(DecoderState& state, BitState& bits, const HuffmanTree& tree) {
    int32_t node = 0;
    for (;;) {
        const HuffmanNode& here = tree.nodes[node];
        node = read_bit(state, bits) ? here.child1 : here.child0;
        if (node == NODE_NONE) fatal_warning("Warning! invalid Huffman code\n");
        const HuffmanNode& next = tree.nodes[node];
        if (next.child0 == NODE_NONE) {
            if (next.value == NODE_NONE) fatal_warning("Warning! invalid Huffman code\n");
            return next.value;
        }
    }
}

void decode_block(DecoderState& state, BitState& bits, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree,
                  int32_t& dc_pred) {
    const int32_t t = decode_symbol(state, bits, dc_tree);
    int32_t difference = 0;
    if (t != 0) {
        const int32_t v = read_bits(state, bits, t);
        if (t > 30) fatal_warning("Warning! DC category %d out of range\n", t);
        difference = extend(v, t);
    }
    dc_pred = static_cast<int32_t>(static_cast<uint32_t>(dc_pred) + static_cast<uint32_t>(difference));
    state.coef_block[0][0] = dc_pred;

    int32_t k = 1;
    for (;;) {
        const int32_t rs = decode_symbol(state, bits, ac_tree);
        if (rs == 0) {
            for (; k < 64; ++k) at_zigzag(state, k) = 0;
            return;
        }
        const int32_t r = rs / 16;
        const int32_t s = rs % 16;
        const int32_t value = extend(read_bits(state, bits, s), s);
        if (k + r > 63) fatal_warning("Warning! AC run past the end of the block\n");
        for (int32_t i = 0; i < r; ++i) at_zigzag(state, k + i) = 0;
        at_zigzag(state, k + r) = value;
        k += r + 1;
        if (k == 64) return;
    }
}

void dequantize_block(DecoderState& state, int32_t Tq) {
    const auto& table = state.quant_tables[Tq];
    for (int k = 0; k < 64; ++k) {
        int32_t& coefficient = at_zigzag(state, k);
        coefficient = static_cast<int32_t>(static_cast<uint32_t>(coefficient) * static_cast<uint32_t>(table[k]));
    }
}

void idct_block(DecoderState& state) {
    const auto& c = state.c_table;
    const auto& cosine = state.cos_table;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            double sum = 0.0;
            for (int u = 0; u < 8; ++u)
                for (int v = 0; v < 8; ++v)
                    sum = sum + (((c[v] * c[u]) * state.coef_block[u][v]) * cosine[x][u]) * cosine[y][v];
            int32_t s = truncate_to_int(sum) / 4 + 128;
            if (s > 255) s = 255;
            if (s < 0) s = 0;
            state.sample_block[x][y] = s;
        }
    }
}

void write_bmp(DecoderState& state, const std::vector<int32_t>& index) {
    put_byte(state, 'B');
    put_byte(state, 'M');
    put_u32(state, static_cast<uint32_t>(bmp_file_size(state.width, state.height)));
    put_u32(state, 0);
    put_u32(state, 54);
    put_u32(state, 40);
    put_u32(state, static_cast<uint32_t>(state.width));
    put_u32(state, static_cast<uint32_t>(state.height));
    put_u16(state, 1);
    put_u16(state, 24);
    put_u32(state, 0);
    put_u32(state, 0);
    put_u32(state, 2677);
    put_u32(state, 2677);
    put_u32(state, 0);
    put_u32(state, 0);

    const bool grey = index.size() == 1;
    const FrameComponent& luma = state.components[index[0]];
    int32_t rx1 = 1, ry1 = 1, rx2 = 1, ry2 = 1;
    if (!grey) {
        rx1 = luma.H / state.components[index[1]].H;
        ry1 = luma.V / state.components[index[1]].V;
        rx2 = luma.H / state.components[index[2]].H;
        ry2 = luma.V / state.components[index[2]].V;
    }
    for (int32_t y = state.height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < state.width; ++x) {
            const double Y = state.planes[0].at(x, y);
            const double cb = (grey ? 128 : state.planes[1].at(x / rx1, y / ry1)) - 128;
            const double cr = (grey ? 128 : state.planes[2].at(x / rx2, y / ry2)) - 128;
            put_byte(state, clamp_to_byte(cb * 1.772 + Y));
            put_byte(state, clamp_to_byte((Y - cb * 0.34414) - cr * 0.71414));
            put_byte(state, clamp_to_byte(cr * 1.402 + Y));
        }
        for (int32_t pad = 0; pad < state.width % 4; ++pad) put_byte(state, 0);
    }
    const int closed = std::fclose(state.out_file);
    state.out_file = nullptr;
    if (closed != 0) fatal_warning("Warning! write error : %s\n", state.bmp_name.c_str());
    state.picture_written = true;
}

}  // namespace reference
