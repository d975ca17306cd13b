// DHT, define Huffman table(s):
//   Lh (2), then per table: Tc/Th (1, 4 bits each), L1..L16 (1 each, the
//   number of codes of each length), then L1 + ... + L16 symbol bytes in
//   code order. Baseline has Tc and Th 0 or 1; an extended file has Th 0
//   to 3.
//
// Each table becomes a code tree through the canonical code assignment of
// the JPEG standard (Annex C), placed straight into the tree.
#include "core/decode_error.h"
#include "core/format.h"
#include "core/messages.h"
#include "segments/segments.h"

namespace {

constexpr int32_t MAX_CODE_LENGTH = 16;

// The child of `node` along `bit`, taken into use if it is not there yet.
// The tree starts with 2n + 1 nodes; a table whose codes leave much of the
// code space empty needs more, and gets them.
int32_t child_along(HuffmanTree& tree, int32_t node, int32_t bit, int32_t& next_free) {
    const int32_t child = bit ? tree.nodes[node].child1 : tree.nodes[node].child0;
    if (child != NODE_NONE) return child;
    const int32_t taken = next_free++;
    // Growing the array moves the nodes: the parent is found again after.
    if (static_cast<size_t>(taken) == tree.nodes.size()) tree.nodes.emplace_back();
    (bit ? tree.nodes[node].child1 : tree.nodes[node].child0) = taken;
    return taken;
}

}  // namespace

void build_code_tree(ByteInput& in, HuffmanTree& tree, const std::array<int32_t, 16>& counts) {
    int32_t code = 0;
    int32_t next_free = 1;
    for (int32_t length = 1; length <= MAX_CODE_LENGTH; ++length) {
        for (int32_t c = 0; c < counts[length - 1]; ++c) {
            int32_t weight = pow_int(2, length - 1);
            int32_t rest = code;
            int32_t node = 0;
            for (int32_t i = 0; i < length; ++i) {
                // A code that overfills its length (2^L or more) takes the
                // 1 branch here and then follows its low bits.
                const int32_t bit = rest / weight != 0 ? 1 : 0;
                node = child_along(tree, node, bit, next_free);
                rest %= weight;
                weight /= 2;
            }
            tree.nodes[node].value = read_segment_byte(in);
            ++code;
        }
        code *= 2;
    }
}

void build_lookup(HuffmanTree& tree) {
    for (uint32_t prefix = 0; prefix < tree.lookup.size(); ++prefix) {
        HuffmanLookup entry{0, LOOKUP_BITS, HuffmanLookup::LONGER};
        int32_t node = 0;
        for (int32_t length = 1; length <= LOOKUP_BITS; ++length) {
            const uint32_t bit = (prefix >> (LOOKUP_BITS - length)) & 1u;
            node = bit ? tree.nodes[node].child1 : tree.nodes[node].child0;
            if (node == NODE_NONE) {
                entry = {0, static_cast<uint8_t>(length), HuffmanLookup::INVALID};
                break;
            }
            const HuffmanNode& here = tree.nodes[node];
            if (here.child0 == NODE_NONE) {
                entry = here.value == NODE_NONE ? HuffmanLookup{0, static_cast<uint8_t>(length), HuffmanLookup::INVALID}
                                                : HuffmanLookup{here.value, static_cast<uint8_t>(length), HuffmanLookup::LEAF};
                break;
            }
            entry.value = node;
        }
        tree.lookup[prefix] = entry;

        // An AC symbol RS is a run of R zeros and a coefficient of S value
        // bits; 0x00 ends the block.
        CoefficientLookup& coefficient = tree.coefficients[prefix];
        coefficient = {};
        if (entry.kind != HuffmanLookup::LEAF) continue;
        const int32_t run = entry.value / 16;
        const int32_t size = entry.value % 16;
        if (entry.length + size > LOOKUP_BITS) continue;
        const int32_t bits = static_cast<int32_t>(prefix >> (LOOKUP_BITS - entry.length - size)) & ((1 << size) - 1);
        coefficient.value = static_cast<int16_t>(size == 0 ? 0 : extend(bits, size));
        coefficient.run = static_cast<uint8_t>(entry.value == 0x00 ? END_OF_BLOCK_RUN : run);
        coefficient.length = static_cast<uint8_t>(entry.length + size);
    }

    // The second coefficient's entry depends on its own first bits alone,
    // which the prefix holds where both fit; the bits past the first
    // coefficient's are taken as zeros.
    const uint32_t prefix_mask = (1u << LOOKUP_BITS) - 1;
    for (uint32_t prefix = 0; prefix < tree.pairs.size(); ++prefix) {
        const CoefficientLookup& first = tree.coefficients[prefix];
        CoefficientPair& pair = tree.pairs[prefix];
        pair = {0, 0, first.length};
        if (first.length == 0 || first.run == END_OF_BLOCK_RUN) continue;
        const CoefficientLookup& second = tree.coefficients[(prefix << first.length) & prefix_mask];
        if (second.length == 0 || first.length + second.length > LOOKUP_BITS) continue;
        pair = {second.value, static_cast<uint8_t>(second.run + 1), static_cast<uint8_t>(first.length + second.length)};
    }
}

void read_dht(ByteInput& in, TraceSink& trace, Walk walk, HuffmanTables& huffman) {
    const int32_t max_th = walk == Walk::EXTENDED ? 3 : 1;
    // The length only decides whether another table follows; each table is
    // read whole, 17 + n bytes.
    int32_t remaining = read_segment_u16(in) - 2;
    while (remaining > 0) {
        const int32_t tc_th = read_segment_byte(in);
        const int32_t tc = tc_th / 16;
        const int32_t th = tc_th % 16;
        if (tc > 1 || th > max_th) fail(text::huffman_ids_not_baseline());

        std::array<int32_t, MAX_CODE_LENGTH> counts{};
        int32_t n = 0;
        for (auto& count : counts) {
            count = read_segment_byte(in);
            n += count;
        }
        trace.put(text::huffman_tree(tc, th, n));
        trace.put(text::code_counts(counts));

        auto& slot = huffman.trees[tc][th];
        slot.reset();
        slot = std::make_unique<HuffmanTree>();
        slot->nodes.assign(static_cast<size_t>(2 * n + 1), HuffmanNode{});
        build_code_tree(in, *slot, counts);
        build_lookup(*slot);

        remaining -= 17 + n;
    }
}

int32_t pow_int(int32_t base, int32_t exponent) {
    if (exponent < 0) fail(text::negative_power(exponent));
    // Unsigned so that a product past 32 bits wraps instead of overflowing;
    // the callers' exponents (at most 15) never get there.
    uint32_t result = 1;
    for (int32_t i = 0; i < exponent; ++i) result *= static_cast<uint32_t>(base);
    return static_cast<int32_t>(result);
}
