// The inverse DCT of one block, included by each instruction-set variant.
//
// Each sample is the sum of its 64 terms
//   (((C(v) C(u)) S[u][v]) cos[x][u]) cos[y][v]
// added one at a time, u outer and v inner, from 0.0. A term of a zero
// coefficient is +0 or -0, and adding either leaves a sum unchanged (a sum
// that starts at +0.0 is never -0), so only the non-zero coefficients are
// visited, in the same order. The products are formed in the same grouping;
// the samples of eight columns and YGROUP lines are summed side by side in
// vector lanes.
#pragma once

#include "core/decoder_state.h"
#include "core/vectors.h"

namespace {

// A sum beyond the int range (corrupt data only) is held at the range's
// ends before its conversion.
template <typename Doubles>
VECTOR_INLINE typename IntLanes<Doubles>::type samples_of(Doubles sum) {
    sum = sum > 2147483647.0 ? Doubles{} + 2147483647.0 : sum;
    sum = sum < -2147483648.0 ? Doubles{} + -2147483648.0 : sum;
    return clamp_ints(truncate_to_ints(sum) / 4 + 128, 0, 255);
}

// Doubles: the vector type (two or four lanes); YGROUP: how many lines are
// summed at once, as many as the registers hold.
template <typename Doubles, int YGROUP>
VECTOR_INLINE void idct_block_kernel(DecoderState& state) {
    constexpr int LANES = sizeof(Doubles) / sizeof(double);
    constexpr int PARTS = 8 / LANES;
    struct Term {
        double a;  // (C(v) C(u)) S[u][v]
        int32_t u;
        int32_t v;
    };
    // Most blocks of smooth pictures hold a DC coefficient alone. Its two
    // cosines are exactly 1, so each of the 64 sums is 0.0 + its one term.
    int32_t ac = 0;
    for (int32_t u = 0; u < 8; ++u)
        for (int32_t v = 0; v < 8; ++v) ac |= (u | v) != 0 ? state.coef_block[u][v] : 0;
    if (ac == 0) {
        const double sum = (state.c_table[0] * state.c_table[0]) * state.coef_block[0][0];
        const int32_t s = samples_of(Doubles{} + sum)[0];
        for (auto& column : state.sample_block) column.fill(s);
        return;
    }

    Term terms[65];
    int count = 0;
    // Written for every coefficient and kept for the non-zero ones: no
    // branch on the data.
    for (int32_t u = 0; u < 8; ++u) {
        for (int32_t v = 0; v < 8; ++v) {
            terms[count] = {(state.c_table[v] * state.c_table[u]) * state.coef_block[u][v], u, v};
            count += state.coef_block[u][v] != 0;
        }
    }

    // Lanes run along x: (a cos[x][u]) is one vector product for LANES
    // columns, and cos[y][v] is broadcast to them.
    for (int y0 = 0; y0 < 8; y0 += YGROUP) {
        Doubles sums[YGROUP][PARTS] = {};
        for (int t = 0; t < count; ++t) {
            const Term& term = terms[t];
            Doubles b[PARTS];
            for (int p = 0; p < PARTS; ++p)
                b[p] = term.a * load_doubles<Doubles>(&state.cos_by_frequency[term.u][p * LANES]);
            for (int j = 0; j < YGROUP; ++j) {
                const double cos_y = state.cos_table[y0 + j][term.v];
                for (int p = 0; p < PARTS; ++p) sums[j][p] = sums[j][p] + b[p] * cos_y;
            }
        }
        for (int j = 0; j < YGROUP; ++j) {
            for (int p = 0; p < PARTS; ++p) {
                const auto samples = samples_of(sums[j][p]);
                for (int lane = 0; lane < LANES; ++lane) state.sample_block[p * LANES + lane][y0 + j] = samples[lane];
            }
        }
    }
}

}  // namespace
