// Vector types of two and four lanes for the block transform and the colour
// conversion. Every lane operation is the IEEE operation of its scalar
// twin, rounded on its own, so a vector result equals the scalar one lane
// for lane. The same source is compiled once for the baseline instruction
// set (SSE2 on x86-64, NEON on 64-bit Arm) and once more with AVX2.
#pragma once

#include <cstdint>
#include <cstring>

// Each instruction-set variant compiles these with its own vector calling
// convention, so each keeps its own copy: internal linkage, never one
// shared definition.
// Always inlined as well: a vector value passed between a function built
// for AVX2 and one built for the baseline would cross two calling
// conventions.
#define VECTOR_INLINE inline __attribute__((always_inline))

namespace {

typedef double Double2 __attribute__((vector_size(16)));
typedef int32_t Int2 __attribute__((vector_size(8)));
typedef double Double4 __attribute__((vector_size(32)));
typedef int32_t Int4 __attribute__((vector_size(16)));

// The int vector of as many lanes as a double vector.
template <typename Doubles>
struct IntLanes;
template <>
struct IntLanes<Double2> {
    using type = Int2;
};
template <>
struct IntLanes<Double4> {
    using type = Int4;
};

template <typename Doubles>
VECTOR_INLINE Doubles load_doubles(const double* from) {
    Doubles v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

VECTOR_INLINE Int4 load_int4(const int32_t* from) {
    Int4 v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

VECTOR_INLINE void store_int4(int32_t* to, Int4 v) { std::memcpy(to, &v, sizeof v); }

VECTOR_INLINE Double4 to_double4(Int4 v) { return __builtin_convertvector(v, Double4); }

// Truncation toward zero; the lanes must lie within the int range.
template <typename Doubles>
VECTOR_INLINE typename IntLanes<Doubles>::type truncate_to_ints(Doubles v) {
    return __builtin_convertvector(v, typename IntLanes<Doubles>::type);
}

// Bit i set where lane i is not zero.
VECTOR_INLINE uint32_t nonzero_lanes(Int4 v) {
#ifdef __SSE2__
    typedef float Float4 __attribute__((vector_size(16)));
    return static_cast<uint32_t>(__builtin_ia32_movmskps(reinterpret_cast<Float4>(v != 0)));
#else
    return (v[0] != 0) | (v[1] != 0) << 1 | (v[2] != 0) << 2 | (v[3] != 0) << 3;
#endif
}

template <typename Ints>
VECTOR_INLINE Ints clamp_ints(Ints v, int32_t low, int32_t high) {
    v = v > high ? Ints{} + high : v;
    return v < low ? Ints{} + low : v;
}

}  // namespace
