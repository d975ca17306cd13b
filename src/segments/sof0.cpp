// SOF0, baseline frame header:
//   Lf (2), P (1), Y (2), X (2), Nf (1), then per component:
//   C (1), H/V (1, 4 bits each), Tq (1).
// Lf must be 8 + 3 x Nf, P must be 8, H and V 1 to 4.
#include <cstdio>

#include "core/fatal.h"
#include "core/input.h"
#include "segments/segments.h"

namespace {

constexpr int32_t SAMPLE_PRECISION = 8;
constexpr int32_t MAX_SAMPLING_FACTOR = 4;
constexpr int32_t MAX_TQ = 3;  // quant_tables holds four tables

}  // namespace

void read_sof0(DecoderState& state) {
    const int32_t lf = read_segment_u16(state);
    const int32_t p = read_segment_byte(state);
    if (p != SAMPLE_PRECISION) fatal_warning("Warning!! Sample precision = %d, not equal to 8\n", p);

    state.height = read_segment_u16(state);
    state.padded_height = round_up_to_block(state.height);
    state.width = read_segment_u16(state);
    state.padded_width = round_up_to_block(state.width);
    std::printf("image size : %d * %d\n", state.width, state.height);

    state.component_count = read_segment_byte(state);
    if (lf != 3 * state.component_count + 8)
        fatal_warning("Warning!! Nf = %d, Lf = %d, not consistent\n", state.component_count, lf);
    std::printf("# of channel = %d\n", state.component_count);

    // A second frame header replaces the first one's records.
    state.components.assign(static_cast<size_t>(state.component_count), FrameComponent{});
    for (int32_t i = 0; i < state.component_count; ++i) {
        FrameComponent& component = state.components[i];
        component.label = read_segment_byte(state);
        for (int32_t j = 0; j < i; ++j)
            if (state.components[j].label == component.label) fatal_warning("Warning!! there are the same labels!!\n");

        const int32_t sampling = read_segment_byte(state);
        component.H = sampling / 16;
        component.V = sampling % 16;
        if (component.H < 1 || component.H > MAX_SAMPLING_FACTOR || component.V < 1 ||
            component.V > MAX_SAMPLING_FACTOR)
            fatal_warning("Warning!! H out of range\n");

        component.Tq = read_segment_byte(state);
        std::printf("channel %d : label = %d H = %d V = %d Tq = %d\n", i, component.label, component.H, component.V,
                    component.Tq);
        if (component.Tq > MAX_TQ) fatal_warning("Warning!! Tq = %d out of range\n", component.Tq);
    }
}
