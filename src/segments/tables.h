// The tables that the DQT and DHT segments define and the scan uses: four
// quantization tables and, per class (DC, AC), two Huffman code trees.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// 64 entries in zigzag order, each 1 to 255. A table no DQT defines holds 1
// everywhere.
using QuantTable = std::array<int32_t, 64>;

struct QuantTables {
    QuantTables() {
        for (QuantTable& table : tables) table.fill(1);
    }
    std::array<QuantTable, 4> tables;  // indexed by Tq, 0 to 3
};

// A missing child or symbol in a code tree: the largest signed 32-bit int.
inline constexpr int32_t NODE_NONE = 2147483647;

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

// What the same first LOOKUP_BITS bits hold after that coefficient: where
// the next code and its value bits lie within them too, the coefficient
// they give (`skip` places on from the first: its run + 1), and `length`,
// the bits of both; else `skip` 0, `value` 0 and `length` the first's.
// In a detailed 17.9-megapixel photo, half the coefficients are followed
// by one that fits with them so.
struct CoefficientPair {
    int16_t value = 0;
    uint8_t skip = 0;
    uint8_t length = 0;
};

// A code tree held as one array of nodes, node 0 the root, children as
// indexes into the same array. The tree defines the code; `lookup`,
// `coefficients` and `pairs` are derived from it once the table is
// complete.
struct HuffmanTree {
    std::vector<HuffmanNode> nodes;
    std::array<HuffmanLookup, 1 << LOOKUP_BITS> lookup{};
    std::array<CoefficientLookup, 1 << LOOKUP_BITS> coefficients{};
    std::array<CoefficientPair, 1 << LOOKUP_BITS> pairs{};
};

struct HuffmanTables {
    // Indexed [Tc][Th]: Tc 0 is DC, 1 is AC; Th 0 or 1 in a baseline file, 0
    // to 3 in an extended one. Empty until a DHT defines the table.
    std::array<std::array<std::unique_ptr<HuffmanTree>, 4>, 2> trees;
};
