// The decoder's one shared record and the fixed tables built before the
// first byte of input is read.
//
// Every number taken from the JPEG stream is held in a signed 32-bit int;
// multi-byte fields of the stream are big-endian and read a byte at a time.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// A missing child or symbol in a code tree: the largest signed 32-bit int.
inline constexpr int32_t NODE_NONE = 2147483647;

// One frame component of the SOF0 header; 2147483647 marks a field not yet
// read.
struct FrameComponent {
    int32_t label = 2147483647;
    int32_t H = 2147483647;
    int32_t V = 2147483647;
    int32_t Tq = 2147483647;
};

// One node of a Huffman code tree. A node is a leaf exactly when `child0`
// is NODE_NONE.
struct HuffmanNode {
    int32_t value = NODE_NONE;
    int32_t child0 = NODE_NONE;
    int32_t child1 = NODE_NONE;
};

// A code tree held as one array of nodes, node 0 the root, children as
// indexes into the same array.
struct HuffmanTree {
    std::vector<HuffmanNode> nodes;
};

// Position (u, v) in `coef_block` of one zigzag index.
struct ZigzagEntry {
    int32_t u = 0;
    int32_t v = 0;
};

// 8 x 8 ints reached through the first index: `coef_block`[u][v],
// `sample_block`[x][y].
using Block = std::array<std::array<int32_t, 8>, 8>;

struct FreeDeleter {
    void operator()(int32_t* p) const { std::free(p); }
};

// The decoded samples of one scan component, addressed [x][y] (x the
// column, y the line) and stored column by column in one allocation whose
// zero pages the system provides on first touch, so that memory grows only
// with the blocks actually decoded.
struct ComponentPlane {
    int32_t columns = 0;
    int32_t rows = 0;
    std::unique_ptr<int32_t[], FreeDeleter> samples;

    int32_t* column(int32_t x) { return samples.get() + static_cast<size_t>(x) * static_cast<size_t>(rows); }
    const int32_t* column(int32_t x) const {
        return samples.get() + static_cast<size_t>(x) * static_cast<size_t>(rows);
    }
};

// Read-ahead over `in_file`: every byte the decoder takes comes from here,
// so the position in the stream is `pos` within the bytes fetched.
struct InputBuffer {
    static constexpr size_t capacity = 1 << 16;
    std::unique_ptr<unsigned char[]> bytes = std::make_unique<unsigned char[]>(capacity);
    size_t pos = 0;
    size_t end = 0;
};

struct DecoderState {
    std::string jpg_name;
    std::string bmp_name;
    FILE* in_file = nullptr;
    FILE* out_file = nullptr;
    InputBuffer input;

    std::array<std::array<int32_t, 64>, 4> quant_tables{};

    int32_t width = 0;
    int32_t height = 0;
    int32_t padded_width = 0;
    int32_t padded_height = 0;
    int32_t component_count = 0;
    std::vector<FrameComponent> components;

    // Indexed [Tc][Th]: Tc 0 is DC, 1 is AC.
    std::array<std::array<std::unique_ptr<HuffmanTree>, 2>, 2> huffman_trees;

    int32_t bit_buffer = 0;
    int32_t bit_count = 0;

    Block coef_block{};
    Block sample_block{};
    std::array<ZigzagEntry, 64> zigzag{};
    std::array<double, 8> c_table{};
    std::array<std::array<double, 8>, 8> cos_table{};

    // One plane per scan component, in scan order.
    std::vector<ComponentPlane> planes;

    // Set once the BMP file has been written and closed: from then on the
    // end of the input ends the walk quietly and a second scan is refused.
    bool picture_written = false;
};

void init_tables(DecoderState& state);

// base to the power exponent, by repeated 32-bit multiplication; a negative
// exponent is a fatal stop.
int32_t pow_int(int32_t base, int32_t exponent);
