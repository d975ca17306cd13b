// The fixed tables of the inverse DCT and the zigzag order, built once at
// start-up.
#include <cmath>

#include "scan/transform.h"

namespace {

// The decoder's pi: the cosines are those of this value, not of the full
// constant.
constexpr double PI_APPROX = 3.14159;

}  // namespace

void fill_transform_tables(DecoderState& state) {
    // sqrt(0.5) is the double nearest to 1/sqrt(2); 1.0 / sqrt(2.0) is one
    // unit lower and changes samples.
    state.c_table[0] = std::sqrt(0.5);
    for (int u = 1; u < 8; ++u) state.c_table[u] = 1.0;
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v) state.weight_factors[u][v] = state.c_table[v] * state.c_table[u];
    for (int x = 0; x < 8; ++x) {
        for (int u = 0; u < 8; ++u) {
            state.cos_table[x][u] = std::cos((static_cast<double>(u * (2 * x + 1)) * PI_APPROX) * 0.0625);
            state.cos_by_frequency[u][x] = state.cos_table[x][u];
            state.float_cos_by_frequency[u][x] = static_cast<float>(state.cos_table[x][u]);
            state.float_quarter_cos[x][u] = static_cast<float>(state.cos_table[x][u]) * 0.25f;
        }
    }
    for (int k = 0; k < 64; ++k) state.zigzag[k] = ZigzagEntry{ZIGZAG_UV[k][0], ZIGZAG_UV[k][1]};
}
