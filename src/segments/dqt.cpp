// DQT, define quantization table(s):
//   Lq (2 bytes), then per table: Pq/Tq (1 byte), Q0..Q63 (1 byte each,
//   zigzag order). Only 8-bit tables (Pq = 0) numbered 0 to 3 are baseline.
#include <cstdio>

#include "core/fatal.h"
#include "core/input.h"
#include "segments/segments.h"

namespace {

constexpr int32_t TABLE_BYTES = 1 + 64;  // Pq/Tq byte and 64 entries
constexpr int32_t MAX_TQ = 3;            // quant_tables holds four tables

}  // namespace

void read_dqt(DecoderState& state) {
    // The length only counts tables: a short last table is still read whole.
    int32_t remaining = read_segment_u16(state) - 2;
    while (remaining > 0) {
        const int32_t pq_tq = read_segment_byte(state);
        if (pq_tq > 15) fatal_warning("warning!! Pq & Tq = %02X, Pq not baseline\n", pq_tq);
        const int32_t tq = pq_tq % 16;
        if (tq > MAX_TQ) fatal_warning("warning!! Pq & Tq = %02X, Tq is out of range\n", pq_tq);
        auto& table = state.quant_tables[tq];
        for (int32_t i = 0; i < 64; ++i) {
            table[i] = read_segment_byte(state);
            if (table[i] == 0) fatal_warning("warning!! quantization table %d element %d is zero!\n", tq, i);
        }
        remaining -= TABLE_BYTES;
    }
}
