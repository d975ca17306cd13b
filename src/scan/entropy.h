// Entropy decoding of one block: the bit reader, the code lookup and the
// block decoder.
#pragma once

#include <cstdint>

#include "core/byte_input.h"
#include "core/format.h"
#include "segments/tables.h"

// The entropy-coded data's bits, fetched ahead from `input` into a 64-bit
// buffer, most significant bit next. Past the end of the input the buffer
// is filled with `padding` zero bits that no decoding may use. To put back
// the bytes not used when the scan ends: `fetched_end` is the stream offset
// after the last data byte fetched, and bit i of `ff_bytes` is set when the
// data byte fetched i bytes before it was a 0xFF, which took two bytes of
// the stream (the byte after it is dropped).
struct BitReader {
    explicit BitReader(ByteInput& from) : input(from), fetched_end(input_offset(from)) {}

    ByteInput& input;
    uint64_t fetched_end;  // before any byte is fetched: where the reader began
    uint64_t bit_buffer = 0;
    int32_t bit_count = 0;
    int32_t padding = 0;
    uint32_t ff_bytes = 0;
};

// The next bit of the entropy-coded data. A 0xFF byte supplies eight 1 bits
// and the byte after it is dropped; no marker is recognised in the data.
int32_t read_bit(BitReader& bits);

// The symbol of the leaf that the next bits lead to in `tree`.
int32_t decode_symbol(BitReader& bits, const HuffmanTree& tree);

// The next `count` bits (0 to 31), most significant first, as a number.
int32_t read_bits(BitReader& bits, int32_t count);

// The largest DC category and AC size a walk takes: in a baseline file
// any whose value fits in 32 bits (a DC difference of category 31 would
// not), in an extended file what 8-bit samples allow.
struct CoefficientLimits {
    int32_t dc_category;
    int32_t ac_size;
};
inline constexpr CoefficientLimits BASELINE_LIMITS{30, 15};
inline constexpr CoefficientLimits EXTENDED_LIMITS{11, 10};

// Decodes one block's 64 quantized coefficients into `coefficients` at
// their block places; `dc_pred` is the component's DC predictor, read and
// replaced. A category or size beyond `limits` stops the decode once its
// value bits are read.
void decode_block(BitReader& bits, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred,
                  Block& coefficients, const CoefficientLimits& limits = BASELINE_LIMITS);
// The same with the AC coefficients into `ac`, the DC one left in
// `dc_pred` alone.
void decode_block(BitReader& bits, const HuffmanTree& dc_tree, const HuffmanTree& ac_tree, int32_t& dc_pred,
                  AcBlock& ac, const CoefficientLimits& limits);

// Ends the reading of a scan: the bytes fetched ahead and not used go back
// to the input, which then stands after the byte that held the last bit
// used (and after the byte a 0xFF drops), and the reader is empty again.
void finish_scan_bits(BitReader& bits);
