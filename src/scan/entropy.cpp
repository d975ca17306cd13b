// The entropy-coded data of a baseline scan (ITU-T T.81, F.2.2): per
// block, a DC difference coded as a category T and T value bits, then AC
// coefficients in zigzag order as run/size symbols RS with S value bits,
// 0x00 ending the block and 0xF0 standing for sixteen zeros.
//
// The bits are fetched ahead, eight bytes at once where none is 0xFF, into
// a 64-bit buffer, and codes are looked up by their first LOOKUP_BITS bits;
// an AC code and its value bits, where both lie within them, in one step,
// and two such coefficients in one step where all four lie within them.
// Every outcome is the one a bit-serial walk of the code tree gives, at the
// same bit: a bit past the end of the input (or a 0xFF without its
// following byte) is a stop for the end of the file the moment a decoding
// would use it, before a code it would complete is judged.
#include "scan/entropy.h"

#include <cstring>

#include "core/decode_error.h"
#include "core/messages.h"

namespace {

constexpr int32_t END_OF_BLOCK = 0x00;
// A code takes at most 16 bits, and its value bits at most 15 (AC) or 11
// (DC of baseline data): a buffer holding 32 bits serves a whole
// coefficient.
constexpr int32_t COEFFICIENT_BITS = 32;
constexpr int FILL_LIMIT = 56;
// Coefficients are stored at byte offsets (their size) x place of the block.
static_assert(sizeof(Block) == BLOCK_SIZE * sizeof(int32_t) && sizeof(AcBlock) == BLOCK_SIZE * sizeof(int16_t));

[[noreturn]] void stop_at_end_of_file() { fail(text::end_of_file()); }

// Fetches data bytes a byte at a time until the buffer holds more than
// FILL_LIMIT bits. At the end of the input it pads with zero bits instead,
// counted in `padding`, which take_bits refuses.
__attribute__((noinline)) void fill_bytewise(BitReader& r) {
    while (r.bit_count <= FILL_LIMIT) {
        if (r.padding > 0) {
            r.padding += 64 - r.bit_count;
            r.bit_count = 64;
            return;
        }
        // The byte after a 0xFF is dropped whatever it is; a 0xFF without
        // one is as cut short as a missing byte.
        int byte = read_byte(r.input);
        if (byte == 0xFF && read_byte(r.input) == END_OF_INPUT) byte = END_OF_INPUT;
        if (byte == END_OF_INPUT) {
            r.padding = 64 - r.bit_count;
            r.bit_count = 64;
            return;
        }
        r.bit_buffer |= static_cast<uint64_t>(byte) << (FILL_LIMIT - r.bit_count);
        r.bit_count += 8;
        r.fetched_end = input_offset(r.input);
        r.ff_bytes = (r.ff_bytes << 1) | (byte == 0xFF ? 1u : 0u);
    }
}

// The common case: the input is not at its end, the next eight bytes are
// in the input buffer and none is 0xFF, so as many as fit go into `buffer`
// and `bit_count` (the reader's own, or a copy held in registers) at once.
// False, with nothing fetched, otherwise.
inline bool fill_at_once(BitReader& r, ByteInput& in, uint64_t& buffer, int32_t& bit_count) {
    if (r.padding != 0 || in.pos + 8 >= in.end) return false;
    uint64_t word;
    std::memcpy(&word, &in.bytes[in.pos], sizeof word);
    word = __builtin_bswap64(word);
    const uint64_t inverted = ~word;
    const bool has_ff = ((inverted - 0x0101010101010101u) & ~inverted & 0x8080808080808080u) != 0;
    if (has_ff) return false;
    const int32_t count = (64 - bit_count) / 8;
    buffer |= (word >> (64 - 8 * count)) << (64 - bit_count - 8 * count);
    bit_count += 8 * count;
    in.pos += static_cast<size_t>(count);
    r.fetched_end = in.base + in.pos;
    r.ff_bytes <<= count;
    return true;
}

inline void fill(BitReader& r, ByteInput& in) {
    if (!fill_at_once(r, in, r.bit_buffer, r.bit_count)) fill_bytewise(r);
}

inline void fill(BitReader& r) { fill(r, r.input); }

// The bits a decoding may use: those fetched before the end of the input.
int32_t real_bits(const BitReader& r) { return r.bit_count - r.padding; }

void take_bits(BitReader& r, int32_t count) {
    if (count > real_bits(r)) stop_at_end_of_file();
    r.bit_buffer <<= count;
    r.bit_count -= count;
}

// The next `count` bits (1 to 32) as a number, without taking them.
uint32_t peek_bits(const BitReader& r, int32_t count) { return static_cast<uint32_t>(r.bit_buffer >> (64 - count)); }

// Reads `count` value bits, most significant first, keeping the low 31
// bits, as the walk would take them one at a time.
int32_t receive(BitReader& r, int32_t count) {
    uint32_t v = 0;
    while (count > 0) {
        if (r.bit_count < COEFFICIENT_BITS) fill(r);
        const int32_t step = count < 16 ? count : 16;
        // Bits peeked past the end are zeros, and take_bits stops there.
        v = ((v << step) | peek_bits(r, step)) & 0x7FFFFFFFu;
        take_bits(r, step);
        count -= step;
    }
    return static_cast<int32_t>(v);
}

// The symbol of the code at the front of the buffer, which holds at least
// COEFFICIENT_BITS bits; the code's bits are taken.
int32_t decode_code(BitReader& r, const HuffmanTree& tree) {
    const HuffmanLookup& entry = tree.lookup[peek_bits(r, LOOKUP_BITS)];
    if (entry.kind == HuffmanLookup::LEAF) {
        take_bits(r, entry.length);
        return entry.value;
    }
    if (entry.kind == HuffmanLookup::INVALID) {
        if (entry.length > real_bits(r)) stop_at_end_of_file();
        fail(text::invalid_huffman_code());
    }
    // Longer codes: on from the node the lookup reached, a bit at a time.
    int32_t node = entry.value;
    for (int32_t length = LOOKUP_BITS + 1;; ++length) {
        if (length > real_bits(r)) stop_at_end_of_file();
        const uint32_t bit = peek_bits(r, length) & 1u;
        const HuffmanNode& here = tree.nodes[node];
        node = bit ? here.child1 : here.child0;
        if (node == NODE_NONE) fail(text::invalid_huffman_code());
        const HuffmanNode& next = tree.nodes[node];
        if (next.child0 == NODE_NONE) {
            if (next.value == NODE_NONE) fail(text::invalid_huffman_code());
            take_bits(r, length);
            return next.value;
        }
    }
}

}  // namespace

int32_t read_bit(BitReader& r) {
    if (r.bit_count == 0) fill(r);
    const int32_t bit = static_cast<int32_t>(peek_bits(r, 1));
    take_bits(r, 1);
    return bit;
}

int32_t decode_symbol(BitReader& r, const HuffmanTree& tree) {
    if (r.bit_count < COEFFICIENT_BITS) fill(r);
    return decode_code(r, tree);
}

int32_t read_bits(BitReader& r, int32_t count) { return receive(r, count); }

namespace {

// Copied from a block of zeros the compiler cannot see as zeros: a plain
// fill becomes a string store, which costs more to start than the copy
// takes in vector moves.
template <typename Coefficients>
void clear(Coefficients& coefficients) {
    static constexpr Coefficients ZEROS{};
    const Coefficients* zeros = &ZEROS;
    __asm__("" : "+r"(zeros));
    std::memcpy(coefficients.data(), zeros->data(), sizeof coefficients);
}

template <typename Coefficients>
void decode_into(BitReader& r, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred,
                 Coefficients& coefficients, const CoefficientLimits& limits) {
    using Coefficient = typename Coefficients::value_type;
    // The input's place, held once for the whole block.
    ByteInput& in = r.input;
    clear(coefficients);

    if (r.bit_count < COEFFICIENT_BITS) fill(r);
    int32_t difference = 0;
    // A DC category T below 16 is the symbol RS = T of run 0, so the
    // coefficient lookup gives the difference with its T value bits; the
    // symbol 0x00, category 0, is the one it marks as the end of a block.
    const CoefficientLookup& known = dc_tree.coefficients[peek_bits(r, LOOKUP_BITS)];
    if (known.length != 0 && (known.run == 0 || known.run == END_OF_BLOCK_RUN)) {
        take_bits(r, known.length);
        difference = known.value;
    } else {
        const int32_t t = decode_symbol(r, dc_tree);
        if (t != 0) {
            const int32_t v = receive(r, t);
            if (t > limits.dc_category) fail(text::dc_category(t));
            difference = extend(v, t);
        }
    }
    // Corrupt data can push the predictor past 32 bits: it wraps.
    dc_pred = static_cast<int32_t>(static_cast<uint32_t>(dc_pred) + static_cast<uint32_t>(difference));
    if constexpr (sizeof(Coefficient) == sizeof(int32_t)) coefficients[0] = dc_pred;

    // The buffer and the count of its bits that decoding may use are held
    // in registers while the coefficients are decoded, and handed back to
    // the reader around everything else that reads it.
    uint64_t buffer = r.bit_buffer;
    int32_t usable = real_bits(r);
    const auto hand_back = [&] {
        r.bit_buffer = buffer;
        r.bit_count = usable + r.padding;
    };
    const auto take_back = [&] {
        buffer = r.bit_buffer;
        usable = real_bits(r);
    };
    const auto take = [&](int32_t count) {
        if (count > usable) stop_at_end_of_file();
        buffer <<= count;
        usable -= count;
    };
    // At its place's bytes in the block (zigzag index k): one store.
    const auto store = [&](int32_t k, int32_t value) {
        const Coefficient stored = static_cast<Coefficient>(value);
        std::memcpy(reinterpret_cast<unsigned char*>(coefficients.data()) + sizeof stored * ZIGZAG[k], &stored,
                    sizeof stored);
    };
    // Past the end of the input the fill only adds padding.
    const auto fill_to = [&](int32_t bits) {
        if (usable >= bits || fill_at_once(r, in, buffer, usable)) return;
        hand_back();
        fill_bytewise(r);
        take_back();
    };
    for (int32_t k = 1; k < 64;) {
        // A lookup needs its LOOKUP_BITS only; the rarer longer codes and
        // value bits fill on for themselves.
        fill_to(LOOKUP_BITS);
        int32_t run;
        int32_t value;
        const uint64_t prefix = buffer >> (64 - LOOKUP_BITS);
        const CoefficientLookup& known = ac_tree.coefficients[prefix];
        if (known.length != 0) {
            // Two coefficients at once where the second lands in the block;
            // without a second, a zero stored at the first's place, then
            // the first. An end of block or a run past the block, first or
            // second, goes one coefficient at a time.
            const CoefficientPair& pair = ac_tree.pairs[prefix];
            const int32_t at = k + known.run;
            const int32_t second_at = at + pair.skip;
            if (second_at <= 63) {
                take(pair.length);
                store(second_at, pair.value);
                store(at, known.value);
                k = second_at + 1;
                continue;
            }
            take(known.length);
            run = known.run;
            value = known.value;
        } else {
            // A code of at most LOOKUP_BITS bits whose value bits reach
            // beyond them is still decoded here; longer codes go on in the
            // tree.
            fill_to(COEFFICIENT_BITS);
            int32_t rs;
            const HuffmanLookup& code = ac_tree.lookup[prefix];
            if (code.kind == HuffmanLookup::LEAF) {
                take(code.length);
                rs = code.value;
            } else {
                hand_back();
                rs = decode_code(r, ac_tree);
                take_back();
            }
            if (rs == END_OF_BLOCK) break;  // the rest of the block is already 0
            run = rs / 16;
            const int32_t size = rs % 16;
            value = 0;
            if (size != 0) {
                // The buffer still holds the at most 15 value bits.
                value = extend(static_cast<int32_t>(buffer >> (64 - size)), size);
                take(size);
                if (size > limits.ac_size) fail(text::ac_size(size));
            }
        }
        if (k + run > 63) {
            if (run != END_OF_BLOCK_RUN) fail(text::ac_run_past_block());
            break;
        }
        store(k + run, value);
        k += run + 1;
    }
    hand_back();
}

}  // namespace

void decode_block(BitReader& r, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred,
                  Block& coefficients, const CoefficientLimits& limits) {
    decode_into(r, dc_tree, ac_tree, dc_pred, coefficients, limits);
}

void decode_block(BitReader& r, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred, AcBlock& ac,
                  const CoefficientLimits& limits) {
    decode_into(r, dc_tree, ac_tree, dc_pred, ac, limits);
}

void finish_scan_bits(BitReader& r) {
    // The whole data bytes fetched and not used are the last ones fetched;
    // the byte that holds the last bit used is consumed with the rest of
    // its bits dropped. A 0xFF among them took two bytes of the stream.
    const int32_t unused = real_bits(r) / 8;
    const uint32_t unused_ff = r.ff_bytes & ((1u << unused) - 1);
    const int32_t stream_bytes = unused + __builtin_popcount(unused_ff);
    return_to_offset(r.input, r.fetched_end - static_cast<uint64_t>(stream_bytes));
    r.fetched_end = input_offset(r.input);
    r.bit_buffer = 0;
    r.bit_count = 0;
    r.padding = 0;
    r.ff_bytes = 0;
}
