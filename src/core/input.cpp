#include "core/input.h"

#include <cstring>

#include "core/fatal.h"

bool refill_input(DecoderState& state) {
    InputBuffer& in = state.input;
    const size_t keep = in.end < InputBuffer::KEEP_BYTES ? in.end : InputBuffer::KEEP_BYTES;
    std::memmove(in.bytes.get(), in.bytes.get() + (in.end - keep), keep);
    in.base += in.end - keep;
    in.pos = keep;
    in.end = keep;
    if (state.in_file) in.end += std::fread(in.bytes.get() + keep, 1, InputBuffer::capacity - keep, state.in_file);
    return in.end > in.pos;
}

uint64_t input_offset(const DecoderState& state) { return state.input.base + state.input.pos; }

void return_to_offset(DecoderState& state, uint64_t offset) {
    // Callers go back at most KEEP_BYTES, which a refill always keeps.
    state.input.pos = static_cast<size_t>(offset - state.input.base);
}

int32_t read_segment_byte(DecoderState& state) {
    const int byte = read_byte(state);
    if (byte == END_OF_INPUT) stop_at_end_of_file();
    return byte;
}

int32_t read_segment_u16(DecoderState& state) {
    const int32_t high = read_segment_byte(state);
    return high * 256 + read_segment_byte(state);
}
