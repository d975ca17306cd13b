// The fixed tables of the inverse DCT: built once, on first use, and from
// then on read by both threads, never written.
#pragma once

#include <array>
#include <cstdint>

#include "core/format.h"

struct TransformTables {
    // C(u): sqrt(0.5) for u = 0, else 1.
    std::array<double, 8> c{};
    // cos((2x + 1) u pi / 16) as cos_table[x][u], x the sample's column (or
    // line) and u the frequency.
    std::array<std::array<double, 8>, 8> cos_table{};
    // The same with its indexes swapped, [u][x]: the cosines of one
    // frequency side by side.
    std::array<std::array<double, 8>, 8> cos_by_frequency{};
    // cos_by_frequency rounded to floats, and cos_table rounded to floats
    // and divided by 4 (exactly: a power of two), for a first estimate of
    // the samples.
    std::array<std::array<float, 8>, 8> float_cos_by_frequency{};
    std::array<std::array<float, 8>, 8> float_quarter_cos{};
    // C(v) C(u) at block place 8 v + u: the first product of each term.
    std::array<double, BLOCK_SIZE> weight_factors{};
};

const TransformTables& transform_tables();
