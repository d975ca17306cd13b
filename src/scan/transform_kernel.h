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

template <typename Ints>
VECTOR_INLINE void store_ints(int32_t* to, Ints v) {
    std::memcpy(to, &v, sizeof v);
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
            for (int p = 0; p < PARTS; ++p) cos_y[p] = load_doubles<Doubles>(&state.cos_by_frequency[v][p * LANES]);
            for (int j = 0; j < XGROUP; ++j) {
                const double b = weight[u][v] * state.cos_table[x0 + j][u];
                for (int p = 0; p < PARTS; ++p) sums[j][p] = sums[j][p] + b * cos_y[p];
            }
        }
        for (int j = 0; j < XGROUP; ++j)
            for (int p = 0; p < PARTS; ++p) store_ints(&state.sample_block[x0 + j][p * LANES], samples_of(sums[j][p]));
    }
}

// Dense blocks are summed in two passes of eight terms,
//   sum_u cos[x][u] (sum_v W[u][v] cos[y][v]),   W[u][v] = (C(v) C(u)) S[u][v],
// which rounds differently from the direct sum but stays close to it. Both
// are roundings of the same real number E = sum_u sum_v W cos[x][u] cos[y][v].
// Every product and sum rounds by at most u = 2^-53 of its size and every
// |cos| <= 1, so with A = sum |S| >= sum |W|: the direct sum (at most 64
// terms of two products each) lies within 66u A of E, the separable one
// (two dot products of eight, four roundings deep each) within 9u A, so the
// two lie within 75u A < 2^-48 A of each other in quarters of a sum. A
// sample depends only on sum / 4 truncated, and rises with it: when
// sum / 4 - tolerance and sum / 4 + tolerance truncate alike, with
// tolerance = 2^-46 A (four times the bound, which also covers the rounding
// of the two ends), the direct sum gives the same sample. When they do
// not, which takes a sum within about 10^-10 of a multiple of 4, false is
// returned and the block is summed directly.
constexpr double SEPARABLE_TOLERANCE = 0x1p-46;
// Below this many non-zero coefficients the direct sum is the quicker.
constexpr int SEPARABLE_FROM = 12;

// The eight products of a dot product summed pairwise: three additions
// deep, where one after another would be seven.
template <typename Doubles>
VECTOR_INLINE Doubles pairwise_sum(const Doubles (&t)[8]) {
    return ((t[0] + t[1]) + (t[2] + t[3])) + ((t[4] + t[5]) + (t[6] + t[7]));
}

template <typename Doubles>
VECTOR_INLINE bool separable_samples(DecoderState& state, const double (&weight)[8][8], double tolerance) {
    constexpr int LANES = sizeof(Doubles) / sizeof(double);
    constexpr int PARTS = 8 / LANES;
    using Ints = typename IntLanes<Doubles>::type;
    // columns[u]: sum_v W[u][v] cos[y][v], lanes along y.
    Doubles columns[8][PARTS];
    for (int u = 0; u < 8; ++u) {
        for (int p = 0; p < PARTS; ++p) {
            Doubles products[8];
            for (int v = 0; v < 8; ++v)
                products[v] = weight[u][v] * load_doubles<Doubles>(&state.cos_by_frequency[v][p * LANES]);
            columns[u][p] = pairwise_sum(products);
        }
    }
    Ints undecided{};
    for (int x = 0; x < 8; ++x) {
        for (int p = 0; p < PARTS; ++p) {
            // quarter_cos_table is cos_table / 4, exactly: this is sum / 4.
            Doubles products[8];
            for (int u = 0; u < 8; ++u) products[u] = state.quarter_cos_table[x][u] * columns[u][p];
            Doubles quarter = pairwise_sum(products);
            // Held within the int range for the conversion; a sum held there
            // saturates its sample either way (corrupt data only).
            quarter = quarter > 1073741824.0 ? Doubles{} + 1073741824.0 : quarter;
            quarter = quarter < -1073741824.0 ? Doubles{} + -1073741824.0 : quarter;
            const Ints low = truncate_to_ints(quarter - tolerance);
            const Ints high = truncate_to_ints(quarter + tolerance);
            undecided |= low != high;
            store_ints(&state.sample_block[x][p * LANES], clamp_ints(low + 128, 0, 255));
        }
    }
    for (int lane = 0; lane < LANES; ++lane)
        if (undecided[lane] != 0) return false;
    return true;
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
            const Doubles w = load_doubles<Doubles>(&state.weight_factors[u][p]) * coefficients;
            std::memcpy(&weight[u][p], &w, sizeof w);
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
        const uint32_t row = nonzero_lanes(load_int4(&state.coef_block[u][0])) |
                             nonzero_lanes(load_int4(&state.coef_block[u][4])) << 4;
        bits |= uint64_t{row} << (8 * u);
    }
    return bits;
}

template <typename Doubles, int XGROUP>
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
    if (__builtin_popcountll(nonzero) >= SEPARABLE_FROM &&
        separable_samples<Doubles>(state, weight, magnitude * SEPARABLE_TOLERANCE))
        return;
    direct_samples<Doubles, XGROUP>(state, weight, nonzero);
}

}  // namespace
