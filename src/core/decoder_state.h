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

// What the first LOOKUP_BITS bits of a code say, found by walking the tree
// once when the table is built: a leaf reached after `length` bits, a path
// that leaves the tree at bit `length`, or, for longer codes, the node from
// which the walk goes on.
inline constexpr int32_t LOOKUP_BITS = 10;

struct HuffmanLookup {
    enum Kind : uint8_t { LEAF, INVALID, LONGER };
    int32_t value = 0;  // LEAF: the symbol; LONGER: the node after LOOKUP_BITS bits
    uint8_t length = 0;
    Kind kind = INVALID;
};

// A code whose value bits also lie within the first LOOKUP_BITS bits, its
// symbol read as an AC run/size RS: the coefficient they give together.
// `length` 0: no such code here.
struct CoefficientLookup {
    int16_t value = 0;   // the coefficient, its sign extended
    uint8_t run = 0;     // the zeros before it; END_OF_BLOCK_RUN for 0x00
    uint8_t length = 0;  // code and value bits
};

// More than any run that fits in a block: marks the end of the block.
inline constexpr uint8_t END_OF_BLOCK_RUN = 64;

// A code tree held as one array of nodes, node 0 the root, children as
// indexes into the same array. The tree defines the code; `lookup` and
// `coefficients` are derived from it once the table is complete.
struct HuffmanTree {
    std::vector<HuffmanNode> nodes;
    std::array<HuffmanLookup, 1 << LOOKUP_BITS> lookup{};
    std::array<CoefficientLookup, 1 << LOOKUP_BITS> coefficients{};
};

// Position (u, v) in `coef_block` of one zigzag index.
struct ZigzagEntry {
    int32_t u = 0;
    int32_t v = 0;
};

// 8 x 8 ints reached through the first index: `coef_block`[u][v],
// `sample_block`[x][y].
using Block = std::array<std::array<int32_t, 8>, 8>;

// Releases a plane's storage, whichever way it was obtained.
struct PlaneRelease {
    size_t bytes = 0;
    void operator()(int32_t* samples) const;
};

// The decoded samples of one scan component, addressed [x][y] (x the
// column, y the line). The samples are stored line after line in one
// allocation whose zero pages the system provides on first touch, so that
// memory grows only with the blocks actually decoded. A plane's record has
// a cache line to itself: the second thread reads it for every block while
// the MCU walk writes its own small arrays, which could lie beside it.
struct alignas(64) ComponentPlane {
    int32_t columns = 0;
    int32_t rows = 0;
    std::unique_ptr<int32_t[], PlaneRelease> samples;

    int32_t* row(int32_t y) { return samples.get() + static_cast<size_t>(y) * static_cast<size_t>(columns); }
    const int32_t* row(int32_t y) const {
        return samples.get() + static_cast<size_t>(y) * static_cast<size_t>(columns);
    }
    int32_t& at(int32_t x, int32_t y) { return row(y)[x]; }
    int32_t at(int32_t x, int32_t y) const { return row(y)[x]; }
};

// Allocates `plane` with every sample 0; false when the system refuses.
bool allocate_plane(ComponentPlane& plane, int32_t columns, int32_t rows);

// Asks the system for the pages of `count` rows from `first` at once, ahead
// of their samples: cheaper than a fault per page.
void prepare_rows(const ComponentPlane& plane, int32_t first, int32_t count);

// Read-ahead over `in_file`: every byte the decoder takes comes from here.
// `base` is the stream offset of bytes[0]. A refill keeps the last
// KEEP_BYTES bytes, so that a reader that fetched ahead can put back what
// it did not use.
struct InputBuffer {
    static constexpr size_t capacity = 1 << 20;
    static constexpr size_t KEEP_BYTES = 32;
    std::unique_ptr<unsigned char[]> bytes = std::make_unique_for_overwrite<unsigned char[]>(capacity);
    size_t pos = 0;
    size_t end = 0;
    uint64_t base = 0;
};

// The entropy-coded data's bits, fetched ahead into a 64-bit buffer, most
// significant bit next. Past the end of the input the buffer is filled with
// `padding` zero bits that no decoding may use. To put back the bytes not
// used when the scan ends: `fetched_end` is the stream offset after the
// last data byte fetched, and bit i of `ff_bytes` is set when the data byte
// fetched i bytes before it was a 0xFF, which took two bytes of the stream
// (the byte after it is dropped).
struct BitReader {
    uint64_t bit_buffer = 0;
    int32_t bit_count = 0;
    int32_t padding = 0;
    uint64_t fetched_end = 0;
    uint32_t ff_bytes = 0;
};

// Which vector instructions the block transform and the colour conversion
// use: chosen at start-up from what the processor has; tests force each.
enum class SimdPath { BASELINE, AVX2 };

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

    BitReader bits;
    SimdPath simd = SimdPath::BASELINE;
    // Whether the stages after entropy decoding, and the colour
    // conversion, run on a second thread; tests turn it off to compare.
    bool worker_thread = true;

    Block coef_block{};
    Block sample_block{};
    std::array<ZigzagEntry, 64> zigzag{};
    std::array<double, 8> c_table{};
    std::array<std::array<double, 8>, 8> cos_table{};
    // cos_table with its indexes swapped, [u][x]: the cosines of one
    // frequency side by side.
    std::array<std::array<double, 8>, 8> cos_by_frequency{};
    // cos_by_frequency rounded to floats, and cos_table rounded to floats
    // and divided by 4 (exactly: a power of two), for a first estimate of
    // the samples.
    std::array<std::array<float, 8>, 8> float_cos_by_frequency{};
    std::array<std::array<float, 8>, 8> float_quarter_cos{};
    // C(v) C(u), [u][v]: the first product of each term.
    std::array<std::array<double, 8>, 8> weight_factors{};

    // One plane per scan component, in scan order.
    std::vector<ComponentPlane> planes;

    // Set once the BMP file has been written and closed: from then on the
    // end of the input ends the walk quietly and a second scan is refused.
    bool picture_written = false;
};

void init_tables(DecoderState& state);

// A size rounded up to whole 8 x 8 blocks.
inline int32_t round_up_to_block(int32_t size) { return size % 8 == 0 ? size : size - size % 8 + 8; }

// base to the power exponent, by repeated 32-bit multiplication; a negative
// exponent is a fatal stop.
int32_t pow_int(int32_t base, int32_t exponent);
