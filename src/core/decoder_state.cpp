#include "core/decoder_state.h"

#include <cstring>

#include "core/fatal.h"
#include "scan/transform.h"

// Under AddressSanitizer planes come from calloc, whose bounds it checks.
#if defined(__SANITIZE_ADDRESS__)
#define JPEG2BMP_CHECKED_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define JPEG2BMP_CHECKED_ALLOCATION 1
#endif
#endif

#if defined(__linux__) && !defined(JPEG2BMP_CHECKED_ALLOCATION)
#define JPEG2BMP_MAPPED_PLANES 1
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

SimdPath best_simd_path() {
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
    if (__builtin_cpu_supports("avx2")) return SimdPath::AVX2;
#endif
    return SimdPath::BASELINE;
}

#if JPEG2BMP_MAPPED_PLANES
// Planes this large are mapped on their own and given back to the system
// whole when released.
constexpr size_t MAPPED_PLANE_BYTES = size_t{1} << 21;
#endif

}  // namespace

void init_tables(DecoderState& state) {
    // A component whose table no DQT defines is dequantized by 1.
    for (auto& table : state.quant_tables) table.fill(1);
    for (auto& row : state.huffman_trees)
        for (auto& slot : row) slot.reset();
    state.bits = BitReader{};
    state.simd = best_simd_path();
    fill_transform_tables(state);
}

int32_t pow_int(int32_t base, int32_t exponent) {
    if (exponent < 0) fatal_warning("pow_int error!, P = %d\n", exponent);
    // Unsigned so that a product past 32 bits wraps instead of overflowing;
    // the callers' exponents (at most 30) never get there.
    uint32_t result = 1;
    for (int32_t i = 0; i < exponent; ++i) result *= static_cast<uint32_t>(base);
    return static_cast<int32_t>(result);
}

void PlaneRelease::operator()(int32_t* samples) const {
#if JPEG2BMP_MAPPED_PLANES
    if (bytes >= MAPPED_PLANE_BYTES) {
        munmap(samples, bytes);
        return;
    }
#endif
    std::free(samples);
}

void prepare_rows(const ComponentPlane& plane, int32_t first, int32_t count) {
#if JPEG2BMP_MAPPED_PLANES && defined(MADV_POPULATE_WRITE)
    const size_t row_bytes = static_cast<size_t>(plane.columns) * sizeof(int32_t);
    if (row_bytes * static_cast<size_t>(plane.rows) < MAPPED_PLANE_BYTES || first >= plane.rows) return;
    const int32_t last = plane.rows - first < count ? plane.rows : first + count;
    // The mapping starts on a page and covers whole pages.
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t begin = row_bytes * static_cast<size_t>(first) / page * page;
    const size_t end = row_bytes * static_cast<size_t>(last);
    // A hint: where the system refuses it, the pages come one fault at a time.
    madvise(reinterpret_cast<char*>(plane.samples.get()) + begin, end - begin, MADV_POPULATE_WRITE);
#else
    (void)plane, (void)first, (void)count;
#endif
}

bool allocate_plane(ComponentPlane& plane, int32_t columns, int32_t rows) {
    plane.samples.reset();
    plane.columns = columns;
    plane.rows = rows;
    const size_t count = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    if (rows != 0 && count / static_cast<size_t>(rows) != static_cast<size_t>(columns)) return false;
    if (count > SIZE_MAX / sizeof(int32_t)) return false;
    const size_t bytes = count * sizeof(int32_t);
    // Never cleared by hand: the zero pages come from the system as the
    // blocks land, so a header that claims a huge picture costs only what
    // is decoded.
#if JPEG2BMP_MAPPED_PLANES
    if (bytes >= MAPPED_PLANE_BYTES) {
        void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (mapped == MAP_FAILED) return false;
        plane.samples = std::unique_ptr<int32_t[], PlaneRelease>(static_cast<int32_t*>(mapped), PlaneRelease{bytes});
        return true;
    }
#endif
    auto* samples = static_cast<int32_t*>(std::calloc(count == 0 ? 1 : count, sizeof(int32_t)));
    if (!samples) return false;
    plane.samples = std::unique_ptr<int32_t[], PlaneRelease>(samples, PlaneRelease{bytes});
    return true;
}
