// The inverse DCT of one block, included by each instruction-set variant.
//
// Each sample is the sum of its 64 terms
//   (((C(v) C(u)) S[u][v]) cos[x][u]) cos[y][v]
// added one at a time, u outer and v inner, from 0.0. A term of a zero
// coefficient is +0 or -0, and adding either leaves a sum unchanged (a sum
// that starts at +0.0 is never -0), so the direct sum visits only the
// non-zero coefficients, in the same order, with the products in the same
// grouping. Dense blocks take a separable sum instead, kept only where it
// provably gives the samples of the direct one. The samples of several
// columns and of LANES lines go side by side in vector lanes.
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

// The direct sums of the coefficients whose bits are set in `nonzero`
// (bit 8u + v for S[u][v]: u outer, v inner). Doubles: the vector type (two
// or four lanes); XGROUP: how many columns are summed at once, as many as
// the registers hold.
template <typename Doubles, int XGROUP>
VECTOR_INLINE void direct_samples(DecoderState& state, const double (&weight)[8][8], uint64_t nonzero) {
    constexpr int LANES = sizeof(Doubles) / sizeof(double);
    constexpr int PARTS = 8 / LANES;
    // Lanes run along y: (a cos[x][u]) is broadcast to LANES lines, each
    // multiplied by its own cos[y][v].
    for (int x0 = 0; x0 < 8; x0 += XGROUP) {
        Doubles sums[XGROUP][PARTS] = {};
        for (uint64_t left = nonzero; left != 0; left &= left - 1) {
            const int u = __builtin_ctzll(left) / 8;
            const int v = __builtin_ctzll(left) % 8;
            Doubles cos_y[PARTS];
            for (int p = 0; p < PARTS; ++p) cos_y[p] = load_vector<Doubles>(&state.cos_by_frequency[v][p * LANES]);
            for (int j = 0; j < XGROUP; ++j) {
                const double b = weight[u][v] * state.cos_table[x0 + j][u];
                for (int p = 0; p < PARTS; ++p) sums[j][p] = sums[j][p] + b * cos_y[p];
            }
        }
        for (int j = 0; j < XGROUP; ++j)
            for (int p = 0; p < PARTS; ++p) store_vector(&state.sample_block[x0 + j][p * LANES], samples_of(sums[j][p]));
    }
}

// The direct sum of one sample, one term after another.
VECTOR_INLINE int32_t direct_sample(const DecoderState& state, const double (&weight)[8][8], uint64_t nonzero, int x,
                                    int y) {
    double sum = 0.0;
    for (uint64_t left = nonzero; left != 0; left &= left - 1) {
        const int u = __builtin_ctzll(left) / 8;
        const int v = __builtin_ctzll(left) % 8;
        sum = sum + (weight[u][v] * state.cos_table[x][u]) * state.cos_table[y][v];
    }
    return samples_of(Double2{} + sum)[0];
}

// Dense blocks are first summed separably in single precision,
//   sum_u (cos[x][u] / 4) (sum_v W[u][v] cos[y][v]),   W[u][v] = (C(v) C(u)) S[u][v],
// a quarter of a sum, which the direct sum does not match bit for bit but
// stays close to: both round the same real number. With e = 2^-24, the
// rounding unit of a float, and A = sum |S| >= sum |W| (every |cos| <= 1),
// rounding W and the cosines to floats and the two dot products of eight
// (summed pairwise, three additions deep) keep the float quarter within
// 2.75 e A of the exact one, and the direct sum's quarter lies within
// 66 x 2^-53 A / 4 of it. A sample depends only on the quarter truncated
// toward zero, and rises with it: where quarter - tolerance and
// quarter + tolerance truncate alike, tolerance = 8 e A (over twice the
// 3 e A that the bound and the rounding of the two ends, e A / 4, come
// to), the direct sum gives the same sample. Returns the samples where
// they do not (bit 8x + y), a quarter within about 10^-3 of an integer for
// a photo's blocks, one sample in a thousand; those are summed directly.
constexpr float SEPARABLE_TOLERANCE = 0x1p-21f;
// Below this many non-zero coefficients the direct sum is the quicker.
constexpr int SEPARABLE_FROM = 8;

// The eight products of a dot product summed pairwise: three additions
// deep, where one after another would be seven.
template <typename Floats>
VECTOR_INLINE Floats pairwise_sum(const Floats (&t)[8]) {
    return ((t[0] + t[1]) + (t[2] + t[3])) + ((t[4] + t[5]) + (t[6] + t[7]));
}

template <typename Floats>
VECTOR_INLINE uint64_t separable_samples(DecoderState& state, const double (&weight)[8][8], double magnitude) {
    constexpr int LANES = sizeof(Floats) / sizeof(float);
    constexpr int PARTS = 8 / LANES;
    using Ints = typename IntLanes<Floats>::type;
    float rounded[8][8];
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v) rounded[u][v] = static_cast<float>(weight[u][v]);
    // Each weight is broadcast to all lanes below: one load from memory,
    // where a weight kept in a register would take two shuffles.
    __asm__ volatile("" : : "r"(rounded) : "memory");
    const float tolerance = static_cast<float>(magnitude) * SEPARABLE_TOLERANCE;

    // columns[u]: sum_v W[u][v] cos[y][v], lanes along y.
    Floats columns[8][PARTS];
    for (int u = 0; u < 8; ++u) {
        for (int p = 0; p < PARTS; ++p) {
            Floats products[8];
            for (int v = 0; v < 8; ++v)
                products[v] = rounded[u][v] * load_vector<Floats>(&state.float_cos_by_frequency[v][p * LANES]);
            columns[u][p] = pairwise_sum(products);
        }
    }
    uint64_t undecided = 0;
    for (int x = 0; x < 8; ++x) {
        for (int p = 0; p < PARTS; ++p) {
            Floats products[8];
            for (int u = 0; u < 8; ++u) products[u] = state.float_quarter_cos[x][u] * columns[u][p];
            Floats quarter = pairwise_sum(products);
            // Held within the int range for the conversion; a sum held there
            // saturates its sample either way (corrupt data only).
            quarter = quarter > 1073741824.0f ? Floats{} + 1073741824.0f : quarter;
            quarter = quarter < -1073741824.0f ? Floats{} + -1073741824.0f : quarter;
            const Ints low = truncate_to_ints(quarter - tolerance);
            const Ints high = truncate_to_ints(quarter + tolerance);
            undecided |= uint64_t{nonzero_lanes(low != high)} << (8 * x + p * LANES);
            store_vector(&state.sample_block[x][p * LANES], clamp_ints(low + 128, 0, 255));
        }
    }
    return undecided;
}

// The weights (C(v) C(u)) S[u][v] of all 64 coefficients; returns A = sum
// |S|, exact in a double (at most 64 x 2^31).
template <typename Doubles>
VECTOR_INLINE double block_weights(const DecoderState& state, double (&weight)[8][8]) {
    constexpr int LANES = sizeof(Doubles) / sizeof(double);
    Doubles magnitudes{};
    for (int u = 0; u < 8; ++u) {
        for (int p = 0; p < 8; p += LANES) {
            Doubles coefficients;
            for (int lane = 0; lane < LANES; ++lane) coefficients[lane] = state.coef_block[u][p + lane];
            const Doubles w = load_vector<Doubles>(&state.weight_factors[u][p]) * coefficients;
            store_vector(&weight[u][p], w);
            magnitudes = magnitudes + (coefficients < 0 ? -coefficients : coefficients);
        }
    }
    double magnitude = 0;
    for (int lane = 0; lane < LANES; ++lane) magnitude += magnitudes[lane];
    return magnitude;
}

// Bit 8u + v set where S[u][v] is not zero.
VECTOR_INLINE uint64_t nonzero_coefficients(const DecoderState& state) {
    uint64_t bits = 0;
    for (int u = 0; u < 8; ++u) {
        const uint32_t row = nonzero_lanes(load_vector<Int4>(&state.coef_block[u][0])) |
                             nonzero_lanes(load_vector<Int4>(&state.coef_block[u][4])) << 4;
        bits |= uint64_t{row} << (8 * u);
    }
    return bits;
}

// Doubles, Floats: the vector types of the direct and the separable sums;
// XGROUP: columns summed at once by the direct sum.
template <typename Doubles, typename Floats, int XGROUP>
VECTOR_INLINE void idct_block_kernel(DecoderState& state) {
    const uint64_t nonzero = nonzero_coefficients(state);
    // Most blocks of smooth pictures hold a DC coefficient alone. Its two
    // cosines are exactly 1, so each of the 64 sums is 0.0 + its one term.
    if ((nonzero & ~uint64_t{1}) == 0) {
        const double sum = state.weight_factors[0][0] * state.coef_block[0][0];
        const int32_t s = samples_of(Doubles{} + sum)[0];
        for (auto& column : state.sample_block) column.fill(s);
        return;
    }

    double weight[8][8];
    const double magnitude = block_weights<Doubles>(state, weight);
    if (__builtin_popcountll(nonzero) < SEPARABLE_FROM) return direct_samples<Doubles, XGROUP>(state, weight, nonzero);
    for (uint64_t left = separable_samples<Floats>(state, weight, magnitude); left != 0; left &= left - 1) {
        const int x = __builtin_ctzll(left) / 8;
        const int y = __builtin_ctzll(left) % 8;
        state.sample_block[x][y] = direct_sample(state, weight, nonzero, x, y);
    }
}

}  // namespace
