#include "scan/transform_tables.h"

#include <cmath>

namespace {

// The decoder's pi: the cosines are those of this value, not of the full
// constant.
constexpr double PI_APPROX = 3.14159;

TransformTables built_tables() {
    TransformTables t;
    // sqrt(0.5) is the double nearest to 1/sqrt(2); 1.0 / sqrt(2.0) is one
    // unit lower and changes samples.
    t.c[0] = std::sqrt(0.5);
    for (int u = 1; u < 8; ++u) t.c[u] = 1.0;
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) t.weight_factors[8 * v + u] = t.c[v] * t.c[u];
    for (int x = 0; x < 8; ++x) {
        for (int u = 0; u < 8; ++u) {
            t.cos_table[x][u] = std::cos((static_cast<double>(u * (2 * x + 1)) * PI_APPROX) * 0.0625);
            t.cos_by_frequency[u][x] = t.cos_table[x][u];
            t.float_cos_by_frequency[u][x] = static_cast<float>(t.cos_table[x][u]);
            t.float_quarter_cos[x][u] = static_cast<float>(t.cos_table[x][u]) * 0.25f;
        }
    }
    return t;
}

}  // namespace

const TransformTables& transform_tables() {
    // Built by the first caller; the language makes every other wait for it.
    static const TransformTables tables = built_tables();
    return tables;
}
