// Byte input from `in_file`. All reading of the JPEG stream goes through
// the read-ahead buffer of DecoderState, so that a fast reader can look at
// the bytes ahead without moving the position the marker walk resumes from.
#pragma once

#include <cstdint>

#include "core/decoder_state.h"

inline constexpr int END_OF_INPUT = -1;

// Fetches more bytes into an exhausted buffer; false when the file has
// none left.
bool refill_input(DecoderState& state);

// The next byte, 0 to 255, or END_OF_INPUT.
inline int read_byte(DecoderState& state) {
    InputBuffer& in = state.input;
    if (in.pos == in.end && !refill_input(state)) return END_OF_INPUT;
    return in.bytes[in.pos++];
}

// The stream offset of the next byte, and a step back to an offset taken
// earlier, at most InputBuffer::KEEP_BYTES back.
uint64_t input_offset(const DecoderState& state);
void return_to_offset(DecoderState& state, uint64_t offset);

// The next byte of a segment, whose end inside the segment is a fatal stop.
int32_t read_segment_byte(DecoderState& state);

// A big-endian 16-bit field of a segment: first byte x 256 + second.
int32_t read_segment_u16(DecoderState& state);
