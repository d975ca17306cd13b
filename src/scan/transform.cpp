// Dequantization and the inverse DCT of the JPEG standard (ITU-T T.81,
// A.3.3), evaluated directly in double precision:
//
//   s(x, y) = 1/4 sum_u sum_v C(u) C(v) S(v, u) cos((2x+1) u pi/16) cos((2y+1) v pi/16)
//
// The order of the terms and the grouping of each product are part of the
// output: every operation is rounded on its own, and a different order
// changes samples whose sum / 4 lies close to an integer.
#include "scan/transform.h"

#include <cmath>

namespace {

// The zigzag sequence of the standard as (u, v), u the horizontal frequency.
constexpr int32_t ZIGZAG_UV[64][2] = {
    {0, 0}, {1, 0}, {0, 1}, {0, 2}, {1, 1}, {2, 0}, {3, 0}, {2, 1}, {1, 2}, {0, 3}, {0, 4}, {1, 3}, {2, 2},
    {3, 1}, {4, 0}, {5, 0}, {4, 1}, {3, 2}, {2, 3}, {1, 4}, {0, 5}, {0, 6}, {1, 5}, {2, 4}, {3, 3}, {4, 2},
    {5, 1}, {6, 0}, {7, 0}, {6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}, {1, 6}, {0, 7}, {1, 7}, {2, 6}, {3, 5},
    {4, 4}, {5, 3}, {6, 2}, {7, 1}, {7, 2}, {6, 3}, {5, 4}, {4, 5}, {3, 6}, {2, 7}, {3, 7}, {4, 6}, {5, 5},
    {6, 4}, {7, 3}, {7, 4}, {6, 5}, {5, 6}, {4, 7}, {5, 7}, {6, 6}, {7, 5}, {7, 6}, {6, 7}, {7, 7},
};

// The decoder's pi: the cosines are those of this value, not of the full
// constant.
constexpr double PI_APPROX = 3.14159;

// A sum beyond the int range (corrupt data only) is held at the range's
// ends before its conversion.
int32_t truncate_to_int(double sum) {
    if (sum >= 2147483648.0) return 2147483647;
    if (sum <= -2147483649.0) return -2147483647 - 1;
    return static_cast<int32_t>(sum);
}

}  // namespace

void fill_transform_tables(DecoderState& state) {
    // sqrt(0.5) is the double nearest to 1/sqrt(2); 1.0 / sqrt(2.0) is one
    // unit lower and changes samples.
    state.c_table[0] = std::sqrt(0.5);
    for (int u = 1; u < 8; ++u) state.c_table[u] = 1.0;
    for (int x = 0; x < 8; ++x)
        for (int u = 0; u < 8; ++u)
            state.cos_table[x][u] = std::cos((static_cast<double>(u * (2 * x + 1)) * PI_APPROX) * 0.0625);
    for (int k = 0; k < 64; ++k) state.zigzag[k] = ZigzagEntry{ZIGZAG_UV[k][0], ZIGZAG_UV[k][1]};
}

void dequantize_block(DecoderState& state, int32_t Tq) {
    const auto& table = state.quant_tables[Tq];
    for (int k = 0; k < 64; ++k) {
        int32_t& coefficient = state.coef_block[state.zigzag[k].u][state.zigzag[k].v];
        coefficient = static_cast<int32_t>(static_cast<uint32_t>(coefficient) * static_cast<uint32_t>(table[k]));
    }
}

void idct_block(DecoderState& state) {
    const auto& c = state.c_table;
    const auto& cosine = state.cos_table;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            double sum = 0.0;
            for (int u = 0; u < 8; ++u)
                for (int v = 0; v < 8; ++v)
                    sum = sum + (((c[v] * c[u]) * state.coef_block[u][v]) * cosine[x][u]) * cosine[y][v];
            int32_t s = truncate_to_int(sum) / 4 + 128;
            if (s > 255) s = 255;
            if (s < 0) s = 0;
            state.sample_block[x][y] = s;
        }
    }
}
