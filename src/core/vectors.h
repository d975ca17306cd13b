// Vector types of four lanes for the block transform and the colour
// conversion. Every lane operation is the IEEE operation of its scalar
// twin, rounded on its own, so a vector result equals the scalar one lane
// for lane. The same source is compiled once for the baseline instruction
// set (SSE2 on x86-64, NEON on 64-bit Arm) and once more with AVX2.
#pragma once

#include <cstdint>
#include <cstring>

typedef double Double4 __attribute__((vector_size(32)));
typedef int32_t Int4 __attribute__((vector_size(16)));
typedef int64_t Long4 __attribute__((vector_size(32)));

inline Double4 load_double4(const double* from) {
    Double4 v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

inline Int4 load_int4(const int32_t* from) {
    Int4 v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

inline void store_int4(int32_t* to, Int4 v) { std::memcpy(to, &v, sizeof v); }

inline Double4 to_double4(Int4 v) { return __builtin_convertvector(v, Double4); }

// Truncation toward zero; the lanes must lie within the int range.
inline Int4 truncate_to_int4(Double4 v) { return __builtin_convertvector(v, Int4); }

inline Int4 clamp_int4(Int4 v, int32_t low, int32_t high) {
    v = v > high ? Int4{} + high : v;
    return v < low ? Int4{} + low : v;
}
