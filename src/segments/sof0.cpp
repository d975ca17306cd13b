// SOF0, baseline frame header:
//   Lf (2), P (1), Y (2), X (2), Nf (1), then per component:
//   C (1), H/V (1, 4 bits each), Tq (1).
// Lf must be 8 + 3 x Nf, P must be 8, H and V 1 to 4. SOF1, the extended
// sequential frame, has the same fields; its 12-bit samples are refused by
// name.
#include "core/decode_error.h"
#include "core/format.h"
#include "core/messages.h"
#include "segments/segments.h"

namespace {

constexpr int32_t SAMPLE_PRECISION = 8;
constexpr int32_t EXTENDED_PRECISION = 12;
constexpr int32_t MAX_SAMPLING_FACTOR = 4;
constexpr int32_t MAX_TQ = 3;  // four quantization tables

}  // namespace

void read_sof0(ByteInput& in, TraceSink& trace, Walk walk, FrameHeader& frame) {
    const int32_t lf = read_segment_u16(in);
    const int32_t p = read_segment_byte(in);
    if (walk == Walk::EXTENDED && p == EXTENDED_PRECISION) fail(text::twelve_bit_samples());
    if (p != SAMPLE_PRECISION) fail(text::sample_precision(p));

    frame.height = read_segment_u16(in);
    frame.padded_height = round_up_to_block(frame.height);
    frame.width = read_segment_u16(in);
    frame.padded_width = round_up_to_block(frame.width);
    trace.put(text::image_size(frame.width, frame.height));

    frame.component_count = read_segment_byte(in);
    if (lf != 3 * frame.component_count + 8)
        fail(text::frame_length(frame.component_count, lf));
    trace.put(text::channel_count(frame.component_count));

    // A second frame header replaces the first one's records.
    frame.components.assign(static_cast<size_t>(frame.component_count), FrameComponent{});
    for (int32_t i = 0; i < frame.component_count; ++i) {
        FrameComponent& component = frame.components[i];
        component.label = read_segment_byte(in);
        for (int32_t j = 0; j < i; ++j)
            if (frame.components[j].label == component.label) fail(text::same_labels());

        const int32_t sampling = read_segment_byte(in);
        component.H = sampling / 16;
        component.V = sampling % 16;
        if (component.H < 1 || component.H > MAX_SAMPLING_FACTOR || component.V < 1 ||
            component.V > MAX_SAMPLING_FACTOR)
            fail(text::sampling_out_of_range());

        component.Tq = read_segment_byte(in);
        trace.put(text::channel(i, component.label, component.H, component.V, component.Tq));
        if (component.Tq > MAX_TQ) fail(text::frame_table_out_of_range(component.Tq));
    }
}
