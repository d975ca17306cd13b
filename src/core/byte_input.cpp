#include "core/byte_input.h"

#include <cstring>

#include "core/decode_error.h"
#include "core/messages.h"

bool refill_input(ByteInput& in) {
    const size_t keep = in.end < ByteInput::KEEP_BYTES ? in.end : ByteInput::KEEP_BYTES;
    std::memmove(in.bytes.get(), in.bytes.get() + (in.end - keep), keep);
    in.base += in.end - keep;
    in.pos = keep;
    in.end = keep + in.source.read(in.bytes.get() + keep, ByteInput::CAPACITY - keep);
    return in.end > in.pos;
}

void return_to_offset(ByteInput& in, uint64_t offset) {
    // Callers go back at most KEEP_BYTES, which a refill always keeps.
    in.pos = static_cast<size_t>(offset - in.base);
}

int32_t read_segment_byte(ByteInput& in) {
    const int byte = read_byte(in);
    if (byte == END_OF_INPUT) fail(text::end_of_file());
    return byte;
}

int32_t read_segment_u16(ByteInput& in) {
    const int32_t high = read_segment_byte(in);
    return high * 256 + read_segment_byte(in);
}
