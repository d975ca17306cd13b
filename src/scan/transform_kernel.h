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
inline Int4 samples_of(Double4 sum) {
    sum = sum > 2147483647.0 ? Double4{} + 2147483647.0 : sum;
    sum = sum < -2147483648.0 ? Double4{} + -2147483648.0 : sum;
    return clamp_int4(truncate_to_int4(sum) / 4 + 128, 0, 255);
}

template <int YGROUP>
void idct_block_kernel(DecoderState& state) {
    struct Term {
        double a;  // (C(v) C(u)) S[u][v]
        int32_t u;
        int32_t v;
    };
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

    // No term, or the DC term alone (whose cosines are both exactly 1): all
    // 64 samples are the same.
    if (count == 0 || (count == 1 && terms[0].u == 0 && terms[0].v == 0)) {
        const double sum = count == 0 ? 0.0 : terms[0].a;
        const int32_t s = samples_of(Double4{} + sum)[0];
        for (auto& column : state.sample_block) column.fill(s);
        return;
    }

    // Lanes run along x: (a cos[x][u]) is one vector product for four
    // columns, and cos[y][v] is broadcast to them.
    for (int y0 = 0; y0 < 8; y0 += YGROUP) {
        Double4 sums[YGROUP][2] = {};
        for (int t = 0; t < count; ++t) {
            const Term& term = terms[t];
            const Double4 b_low = term.a * load_double4(&state.cos_by_frequency[term.u][0]);
            const Double4 b_high = term.a * load_double4(&state.cos_by_frequency[term.u][4]);
            for (int j = 0; j < YGROUP; ++j) {
                const double cos_y = state.cos_table[y0 + j][term.v];
                sums[j][0] = sums[j][0] + b_low * cos_y;
                sums[j][1] = sums[j][1] + b_high * cos_y;
            }
        }
        for (int j = 0; j < YGROUP; ++j) {
            const Int4 low = samples_of(sums[j][0]);
            const Int4 high = samples_of(sums[j][1]);
            for (int x = 0; x < 4; ++x) {
                state.sample_block[x][y0 + j] = low[x];
                state.sample_block[x + 4][y0 + j] = high[x];
            }
        }
    }
}

}  // namespace
