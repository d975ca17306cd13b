#include "core/input.h"

#include "core/fatal.h"

bool refill_input(DecoderState& state) {
    InputBuffer& in = state.input;
    in.pos = 0;
    in.end = state.in_file ? std::fread(in.bytes.get(), 1, InputBuffer::capacity, state.in_file) : 0;
    return in.end > 0;
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
