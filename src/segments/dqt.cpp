// DQT, define quantization table(s):
//   Lq (2 bytes), then per table: Pq/Tq (1 byte), Q0..Q63 (1 byte each,
//   zigzag order; 2 bytes each, big-endian, where Pq = 1). Only 8-bit
//   tables (Pq = 0) numbered 0 to 3 are baseline; an extended file may
//   have 16-bit ones.
#include "core/decode_error.h"
#include "core/messages.h"
#include "segments/segments.h"

namespace {

constexpr int32_t TABLE_BYTES = 1 + 64;  // Pq/Tq byte and 64 one-byte entries
constexpr int32_t MAX_TQ = 3;            // four tables

}  // namespace

void read_dqt(ByteInput& in, Walk walk, QuantTables& quant) {
    // The length only counts tables: a short last table is still read whole.
    int32_t remaining = read_segment_u16(in) - 2;
    const int32_t max_pq = walk == Walk::EXTENDED ? 1 : 0;
    while (remaining > 0) {
        const int32_t pq_tq = read_segment_byte(in);
        const int32_t pq = pq_tq / 16;
        if (pq > max_pq) fail(text::quantization_precision_not_baseline(pq_tq));
        const int32_t tq = pq_tq % 16;
        if (tq > MAX_TQ) fail(text::quantization_id_out_of_range(pq_tq));
        QuantTable& table = quant.tables[tq];
        for (int32_t i = 0; i < 64; ++i) {
            table[i] = pq == 1 ? read_segment_u16(in) : read_segment_byte(in);
            if (table[i] == 0) fail(text::quantization_entry_zero(tq, i));
        }
        remaining -= TABLE_BYTES + 64 * pq;
    }
}
