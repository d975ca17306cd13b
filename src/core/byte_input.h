// The JPEG stream as the decoder reads it: a window of the byte source,
// refilled as it is used up. Every byte of the stream passes through here,
// so that a fast reader can look at the bytes ahead without moving the
// offset the marker walk resumes from.
#pragma once

#include <cstdint>
#include <memory>

#include "core/io.h"

inline constexpr int END_OF_INPUT = -1;

// `base` is the stream offset of bytes[0]. A refill keeps the last
// KEEP_BYTES bytes, so that a reader that fetched ahead can put back what
// it did not use.
struct ByteInput {
    // A mebibyte a refill: 41 reads for the largest test picture, where
    // the stream's own buffering took 270.
    static constexpr size_t CAPACITY = 1 << 20;
    static constexpr size_t KEEP_BYTES = 32;

    explicit ByteInput(ByteSource& from) : source(from) {}

    ByteSource& source;
    std::unique_ptr<uint8_t[]> bytes = std::make_unique_for_overwrite<uint8_t[]>(CAPACITY);
    size_t pos = 0;
    size_t end = 0;
    uint64_t base = 0;
};

// Fetches more bytes into an exhausted window; false when the source has
// none left.
bool refill_input(ByteInput& in);

// The next byte, 0 to 255, or END_OF_INPUT.
inline int read_byte(ByteInput& in) {
    if (in.pos == in.end && !refill_input(in)) return END_OF_INPUT;
    return in.bytes[in.pos++];
}

// The stream offset of the next byte, and a step back to an offset taken
// earlier, at most KEEP_BYTES back.
inline uint64_t input_offset(const ByteInput& in) { return in.base + in.pos; }
void return_to_offset(ByteInput& in, uint64_t offset);

// The next byte of a segment, whose end inside the segment stops the decode.
int32_t read_segment_byte(ByteInput& in);

// A big-endian 16-bit field of a segment: first byte x 256 + second.
int32_t read_segment_u16(ByteInput& in);
