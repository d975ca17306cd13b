// The dequantization and the inverse DCT of one block, included by each
// instruction-set variant.
//
// Each sample is the sum of its 64 terms
//   (((C(v) C(u)) S[u][v]) cos[x][u]) cos[y][v]
// added one at a time, u outer and v inner, from 0.0. A term of a zero
// coefficient is +0 or -0, and adding either leaves a sum unchanged (a sum
// that starts at +0.0 is never -0), so the direct sum visits only the
// non-zero coefficients, in the same order, with the products in the same
// grouping. Dense blocks take a separable sum instead, kept only where it
// provably gives the samples of the direct one. The samples of LANES
// columns go side by side in vector lanes, several lines at once.
#pragma once

#include "core/format.h"
#include "core/vectors.h"
#include "scan/transform.h"
#include "scan/transform_tables.h"

namespace {

// A sum beyond the int range (corrupt data only) is held at the range's
// ends before its conversion.
template <typename Doubles>
VECTOR_INLINE typename IntLanes<Doubles>::type samples_of(Doubles sum) {
    sum = sum > 2147483647.0 ? Doubles{} + 2147483647.0 : sum;
    sum = sum < -2147483648.0 ? Doubles{} + -2147483648.0 : sum;
    return clamp_ints(truncate_to_ints(sum) / 4 + 128, 0, 255);
}

// The direct sums of the coefficients whose bits are set in `terms` (bit
// 8u + v for the coefficient of frequencies (u, v): u outer, v inner), with
// `weight` the weights at their block places. Doubles: the vector type (two
// or four lanes); YGROUP: how many lines are summed at once, as many as the
// registers hold.
template <typename Doubles, int YGROUP>
VECTOR_INLINE void direct_samples(const TransformTables& t, const double (&weight)[BLOCK_SIZE], uint64_t terms,
                                  Block& samples) {
    constexpr int LANES = sizeof(Doubles) / sizeof(double);
    constexpr int PARTS = 8 / LANES;
    // Lanes run along x: (weight cos[x][u]) for LANES columns, each then
    // multiplied by the cos[y][v] of its line.
    for (int y0 = 0; y0 < 8; y0 += YGROUP) {
        Doubles sums[YGROUP][PARTS] = {};
        for (uint64_t left = terms; left != 0; left &= left - 1) {
            const int u = __builtin_ctzll(left) / 8;
            const int v = __builtin_ctzll(left) % 8;
            Doubles first[PARTS];
            for (int p = 0; p < PARTS; ++p)
                first[p] = weight[8 * v + u] * load_vector<Doubles>(&t.cos_by_frequency[u][p * LANES]);
            for (int j = 0; j < YGROUP; ++j) {
                const double cos_y = t.cos_table[y0 + j][v];
                for (int p = 0; p < PARTS; ++p) sums[j][p] = sums[j][p] + first[p] * cos_y;
            }
        }
        for (int j = 0; j < YGROUP; ++j)
            for (int p = 0; p < PARTS; ++p) store_vector(&samples[8 * (y0 + j) + p * LANES], samples_of(sums[j][p]));
    }
}

// The direct sum of one sample, one term after another.
VECTOR_INLINE int32_t direct_sample(const TransformTables& t, const double (&weight)[BLOCK_SIZE], uint64_t terms, int x,
                                    int y) {
    double sum = 0.0;
    for (uint64_t left = terms; left != 0; left &= left - 1) {
        const int u = __builtin_ctzll(left) / 8;
        const int v = __builtin_ctzll(left) % 8;
        sum = sum + (weight[8 * v + u] * t.cos_table[x][u]) * t.cos_table[y][v];
    }
    return samples_of(Double2{} + sum)[0];
}

// Dense blocks are first summed separably in single precision,
//   sum_v (cos[y][v] / 4) (sum_u W[u][v] cos[x][u]),   W[u][v] = (C(v) C(u)) S[u][v],
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
// they do not (bit 8y + x), a quarter within about 10^-3 of an integer for
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
VECTOR_INLINE uint64_t separable_samples(const TransformTables& t, const double (&weight)[BLOCK_SIZE], double magnitude,
                                         Block& samples) {
    constexpr int LANES = sizeof(Floats) / sizeof(float);
    constexpr int PARTS = 8 / LANES;
    using Ints = typename IntLanes<Floats>::type;
    float rounded[BLOCK_SIZE];
    for (int i = 0; i < BLOCK_SIZE; ++i) rounded[i] = static_cast<float>(weight[i]);
    // Each weight is broadcast to all lanes below: one load from memory,
    // where a weight kept in a register would take two shuffles.
    __asm__ volatile("" : : "r"(rounded) : "memory");
    const float tolerance = static_cast<float>(magnitude) * SEPARABLE_TOLERANCE;

    // lines[v]: sum_u W[u][v] cos[x][u], lanes along x.
    Floats lines[8][PARTS];
    for (int v = 0; v < 8; ++v) {
        for (int p = 0; p < PARTS; ++p) {
            Floats products[8];
            for (int u = 0; u < 8; ++u)
                products[u] = rounded[8 * v + u] * load_vector<Floats>(&t.float_cos_by_frequency[u][p * LANES]);
            lines[v][p] = pairwise_sum(products);
        }
    }
    uint64_t undecided = 0;
    for (int y = 0; y < 8; ++y) {
        for (int p = 0; p < PARTS; ++p) {
            Floats products[8];
            for (int v = 0; v < 8; ++v) products[v] = t.float_quarter_cos[y][v] * lines[v][p];
            Floats quarter = pairwise_sum(products);
            // Held within the int range for the conversion; a sum held there
            // saturates its sample either way (corrupt data only).
            quarter = quarter > 1073741824.0f ? Floats{} + 1073741824.0f : quarter;
            quarter = quarter < -1073741824.0f ? Floats{} + -1073741824.0f : quarter;
            const Ints low = truncate_to_ints(quarter - tolerance);
            const Ints high = truncate_to_ints(quarter + tolerance);
            undecided |= uint64_t{nonzero_lanes(low != high)} << (8 * y + p * LANES);
            store_vector(&samples[8 * y + p * LANES], clamp_ints(low + 128, 0, 255));
        }
    }
    return undecided;
}

// The weights (C(v) C(u)) S[u][v] of all 64 coefficients at their places;
// returns A = sum |S|, exact in a double (at most 64 x 2^31).
template <typename Doubles>
VECTOR_INLINE double block_weights(const TransformTables& t, const Block& coefficients, double (&weight)[BLOCK_SIZE]) {
    constexpr int LANES = sizeof(Doubles) / sizeof(double);
    Doubles magnitudes{};
    for (int p = 0; p < BLOCK_SIZE; p += LANES) {
        Doubles values;
        for (int lane = 0; lane < LANES; ++lane) values[lane] = coefficients[p + lane];
        store_vector(&weight[p], load_vector<Doubles>(&t.weight_factors[p]) * values);
        magnitudes = magnitudes + (values < 0 ? -values : values);
    }
    double magnitude = 0;
    for (int lane = 0; lane < LANES; ++lane) magnitude += magnitudes[lane];
    return magnitude;
}

// Bit 8u + v set where the coefficient of frequencies (u, v) is not zero:
// the order of the direct sum's terms.
VECTOR_INLINE uint64_t nonzero_terms(const Block& coefficients) {
    // First by place, bit 8v + u, eight lines of eight bits ...
    uint64_t bits = 0;
    for (int v = 0; v < 8; ++v) {
        const uint32_t line = nonzero_lanes(load_vector<Int4>(&coefficients[8 * v])) |
                              nonzero_lanes(load_vector<Int4>(&coefficients[8 * v + 4])) << 4;
        bits |= uint64_t{line} << (8 * v);
    }
    // ... then transposed as an 8 x 8 matrix of bits, in three swaps of
    // ever larger squares across the diagonal.
    uint64_t swap = (bits ^ (bits >> 7)) & 0x00AA00AA00AA00AAu;
    bits ^= swap ^ (swap << 7);
    swap = (bits ^ (bits >> 14)) & 0x0000CCCC0000CCCCu;
    bits ^= swap ^ (swap << 14);
    swap = (bits ^ (bits >> 28)) & 0x00000000F0F0F0F0u;
    bits ^= swap ^ (swap << 28);
    return bits;
}

// The 16-bit coefficients widened and multiplied by their steps, as many
// places at once as the vector types Shorts, Ints and Unsigned have lanes;
// place 0 takes `dc`.
template <typename Shorts, typename Ints, typename Unsigned>
VECTOR_INLINE void dequantize_kernel(const BlockQuant& quant, const AcBlock& ac, int32_t dc, Block& coefficients) {
    constexpr int LANES = sizeof(Ints) / sizeof(int32_t);
    for (int p = 0; p < BLOCK_SIZE; p += LANES) {
        Ints values = __builtin_convertvector(load_vector<Shorts>(&ac[p]), Ints);
        if (p == 0) values[0] = dc;
        const Unsigned products = reinterpret_cast<Unsigned>(values) * load_vector<Unsigned>(&quant.steps[p]);
        store_vector(&coefficients[p], reinterpret_cast<Ints>(products));
    }
}

// Doubles, Floats: the vector types of the direct and the separable sums;
// YGROUP: lines summed at once by the direct sum.
template <typename Doubles, typename Floats, int YGROUP>
VECTOR_INLINE void idct_block_kernel(const TransformTables& t, const Block& coefficients, Block& samples) {
    const uint64_t terms = nonzero_terms(coefficients);
    // Most blocks of smooth pictures hold a DC coefficient alone. Its two
    // cosines are exactly 1, so each of the 64 sums is 0.0 + its one term.
    if ((terms & ~uint64_t{1}) == 0) {
        const double sum = t.weight_factors[0] * coefficients[0];
        samples.fill(samples_of(Doubles{} + sum)[0]);
        return;
    }

    double weight[BLOCK_SIZE];
    const double magnitude = block_weights<Doubles>(t, coefficients, weight);
    if (__builtin_popcountll(terms) < SEPARABLE_FROM) return direct_samples<Doubles, YGROUP>(t, weight, terms, samples);
    for (uint64_t left = separable_samples<Floats>(t, weight, magnitude, samples); left != 0; left &= left - 1) {
        const int y = __builtin_ctzll(left) / 8;
        const int x = __builtin_ctzll(left) % 8;
        samples[8 * y + x] = direct_sample(t, weight, terms, x, y);
    }
}

}  // namespace
