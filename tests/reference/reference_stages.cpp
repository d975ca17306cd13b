#include "reference/reference_stages.h"

#include "core/decode_error.h"
#include "core/messages.h"
#include "output/bmp.h"

#include <functional>

namespace reference {

namespace {

int32_t read_bits(ByteInput& in, BitState& bits, int32_t count) {
    uint32_t v = 0;
    for (int32_t i = 0; i < count; ++i) v = ((v << 1) | static_cast<uint32_t>(read_bit(in, bits))) & 0x7FFFFFFFu;
    return static_cast<int32_t>(v);
}

// The coefficient of frequencies (u, v), and of zigzag index k.
int32_t& at(Block& block, int32_t u, int32_t v) { return block[8 * v + u]; }
int32_t at(const Block& block, int32_t u, int32_t v) { return block[8 * v + u]; }
int32_t& at_zigzag(Block& block, int32_t k) { return block[ZIGZAG[k]]; }

int32_t truncate_to_int(double sum) {
    if (sum >= 2147483648.0) return 2147483647;
    if (sum <= -2147483649.0) return -2147483647 - 1;
    return static_cast<int32_t>(sum);
}

void put_byte(ByteSink& bmp, int byte) {
    const uint8_t value = static_cast<uint8_t>(byte);
    if (!bmp.write(&value, 1)) fail(text::write_error(bmp.name()));
}

void put_u16(ByteSink& bmp, uint32_t value) {
    put_byte(bmp, static_cast<int>(value & 0xFF));
    put_byte(bmp, static_cast<int>((value >> 8) & 0xFF));
}

void put_u32(ByteSink& bmp, uint32_t value) {
    put_u16(bmp, value & 0xFFFF);
    put_u16(bmp, value >> 16);
}

int clamp_to_byte(double value) {
    const int32_t i = static_cast<int32_t>(value);
    return i > 255 ? 255 : (i < 0 ? 0 : i);
}

}  // namespace

int32_t read_bit(ByteInput& in, BitState& bits) {
    if (bits.bit_count == 8) {
        bits.bit_count = 0;
        const int byte = read_byte(in);
        if (byte == END_OF_INPUT) fail(text::end_of_file());
        bits.bit_buffer = byte;
        if (byte == 0xFF && read_byte(in) == END_OF_INPUT) fail(text::end_of_file());
    }
    const int32_t bit = bits.bit_buffer / 128 != 0 ? 1 : 0;
    bits.bit_buffer = (bits.bit_buffer % 128) * 2;
    ++bits.bit_count;
    return bit;
}

int32_t decode_symbol(ByteInput& in, BitState& bits, const HuffmanTree& tree) {
    int32_t node = 0;
    for (;;) {
        const HuffmanNode& here = tree.nodes[node];
        node = read_bit(in, bits) ? here.child1 : here.child0;
        if (node == NODE_NONE) fail(text::invalid_huffman_code());
        const HuffmanNode& next = tree.nodes[node];
        if (next.child0 == NODE_NONE) {
            if (next.value == NODE_NONE) fail(text::invalid_huffman_code());
            return next.value;
        }
    }
}

void decode_block(ByteInput& in, BitState& bits, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree,
                  int32_t& dc_pred, Block& coefficients, const CoefficientLimits& limits) {
    const int32_t t = decode_symbol(in, bits, dc_tree);
    int32_t difference = 0;
    if (t != 0) {
        const int32_t v = read_bits(in, bits, t);
        if (t > limits.dc_category) fail(text::dc_category(t));
        difference = extend(v, t);
    }
    dc_pred = static_cast<int32_t>(static_cast<uint32_t>(dc_pred) + static_cast<uint32_t>(difference));
    at(coefficients, 0, 0) = dc_pred;

    int32_t k = 1;
    for (;;) {
        const int32_t rs = decode_symbol(in, bits, ac_tree);
        if (rs == 0) {
            for (; k < 64; ++k) at_zigzag(coefficients, k) = 0;
            return;
        }
        const int32_t r = rs / 16;
        const int32_t s = rs % 16;
        const int32_t value = extend(read_bits(in, bits, s), s);
        if (s > limits.ac_size) fail(text::ac_size(s));
        if (k + r > 63) fail(text::ac_run_past_block());
        for (int32_t i = 0; i < r; ++i) at_zigzag(coefficients, k + i) = 0;
        at_zigzag(coefficients, k + r) = value;
        k += r + 1;
        if (k == 64) return;
    }
}

void dequantize_block(const QuantTable& table, Block& coefficients) {
    for (int k = 0; k < 64; ++k) {
        int32_t& coefficient = at_zigzag(coefficients, k);
        coefficient = static_cast<int32_t>(static_cast<uint32_t>(coefficient) * static_cast<uint32_t>(table[k]));
    }
}

void idct_block(const TransformTables& tables, const Block& coefficients, Block& samples) {
    const auto& c = tables.c;
    const auto& cosine = tables.cos_table;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            double sum = 0.0;
            for (int u = 0; u < 8; ++u)
                for (int v = 0; v < 8; ++v)
                    sum = sum + (((c[v] * c[u]) * at(coefficients, u, v)) * cosine[x][u]) * cosine[y][v];
            int32_t s = truncate_to_int(sum) / 4 + 128;
            if (s > 255) s = 255;
            if (s < 0) s = 0;
            samples[8 * y + x] = s;
        }
    }
}

void bmp_pixel(const Picture& picture, int32_t x, int32_t y, uint8_t* bgr) {
    // Each pixel reads the sample floor(x H / H_max), floor(y V / V_max)
    // of each component; a plane holds line l at l % rows.
    const bool grey = picture.planes.size() == 1;
    int32_t h_max = 1, v_max = 1;
    for (const FrameComponent& c : picture.components) h_max = c.H > h_max ? c.H : h_max, v_max = c.V > v_max ? c.V : v_max;
    const auto sample = [&](size_t plane, int32_t x, int32_t y) {
        const FrameComponent& c = picture.components[plane];
        const ComponentPlane& p = picture.planes[plane];
        return p.row(y * c.V / v_max % p.rows)[x * c.H / h_max];
    };
    if (picture.rgb) {
        bgr[0] = static_cast<uint8_t>(sample(2, x, y));
        bgr[1] = static_cast<uint8_t>(sample(1, x, y));
        bgr[2] = static_cast<uint8_t>(sample(0, x, y));
        return;
    }
    const double Y_ = sample(0, x, y);
    const double cb = (grey ? 128 : sample(1, x, y)) - 128;
    const double cr = (grey ? 128 : sample(2, x, y)) - 128;
    bgr[0] = static_cast<uint8_t>(clamp_to_byte(cb * 1.772 + Y_));
    bgr[1] = static_cast<uint8_t>(clamp_to_byte((Y_ - cb * 0.34414) - cr * 0.71414));
    bgr[2] = static_cast<uint8_t>(clamp_to_byte(cr * 1.402 + Y_));
}

void write_pixels(int32_t width, int32_t height, const std::function<void(int32_t, int32_t, uint8_t*)>& pixel,
                  ByteSink& bmp) {
    put_byte(bmp, 'B');
    put_byte(bmp, 'M');
    put_u32(bmp, static_cast<uint32_t>(bmp_file_size(width, height)));
    put_u32(bmp, 0);
    put_u32(bmp, 54);
    put_u32(bmp, 40);
    put_u32(bmp, static_cast<uint32_t>(width));
    put_u32(bmp, static_cast<uint32_t>(height));
    put_u16(bmp, 1);
    put_u16(bmp, 24);
    put_u32(bmp, 0);
    put_u32(bmp, 0);
    put_u32(bmp, 2677);
    put_u32(bmp, 2677);
    put_u32(bmp, 0);
    put_u32(bmp, 0);
    for (int32_t Y = height - 1; Y >= 0; --Y) {
        for (int32_t X = 0; X < width; ++X) {
            uint8_t bgr[3];
            pixel(X, Y, bgr);
            for (uint8_t byte : bgr) put_byte(bmp, byte);
        }
        for (int32_t pad = 0; pad < width % 4; ++pad) put_byte(bmp, 0);
    }
    if (!bmp.close()) fail(text::write_error(bmp.name()));
}

void write_oriented_bmp(const Picture& picture, int32_t orientation, ByteSink& bmp) {
    const int32_t width = picture.width, height = picture.height;
    const bool swapped = orientation >= 5;
    write_pixels(swapped ? height : width, swapped ? width : height, [&](int32_t X, int32_t Y, uint8_t* bgr) {
        // The coded pixel that pixel (X, Y) of the upright picture shows.
        int32_t x = X, y = Y;
        if (orientation == 2) x = width - 1 - X;
        if (orientation == 3) x = width - 1 - X, y = height - 1 - Y;
        if (orientation == 4) y = height - 1 - Y;
        if (orientation == 5) x = Y, y = X;
        if (orientation == 6) x = Y, y = height - 1 - X;
        if (orientation == 7) x = width - 1 - Y, y = height - 1 - X;
        if (orientation == 8) x = width - 1 - Y, y = X;
        bmp_pixel(picture, x, y, bgr);
    }, bmp);
}

void write_bmp(const Picture& picture, ByteSink& bmp) { write_oriented_bmp(picture, 1, bmp); }

}  // namespace reference
