#include "scan/planes.h"

#include <cstdlib>

#include "core/format.h"
#include "system/system.h"

// Under AddressSanitizer planes come from calloc, whose bounds it checks.
#if defined(__SANITIZE_ADDRESS__)
#define JPEG2BMP_CHECKED_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define JPEG2BMP_CHECKED_ALLOCATION 1
#endif
#endif

namespace {

// Planes this large are mapped on their own and given back to the system
// whole when released.
constexpr size_t MAPPED_PLANE_BYTES = size_t{1} << 21;

bool mapped(size_t bytes) {
#ifdef JPEG2BMP_CHECKED_ALLOCATION
    (void)bytes;
    return false;
#else
    return bytes >= MAPPED_PLANE_BYTES;
#endif
}

}  // namespace

void PlaneRelease::operator()(int32_t* samples) const {
    if (mapped(bytes)) {
        unmap_pages(samples, bytes);
    } else {
        std::free(samples);
    }
}

PlaneSize plane_size(const FrameHeader& frame, const FrameComponent& component, int32_t h_max, int32_t v_max) {
    return {round_up_to_block(component.H * frame.padded_width / h_max),
            round_up_to_block(component.V * frame.padded_height / v_max)};
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
    void* samples = mapped(bytes) ? map_zero_pages(bytes) : std::calloc(count == 0 ? 1 : count, sizeof(int32_t));
    if (!samples) return false;
    plane.samples = std::unique_ptr<int32_t[], PlaneRelease>(static_cast<int32_t*>(samples), PlaneRelease{bytes});
    return true;
}

void prepare_rows(const ComponentPlane& plane, int32_t first, int32_t count) {
    const size_t row_bytes = static_cast<size_t>(plane.columns) * sizeof(int32_t);
    if (!mapped(row_bytes * static_cast<size_t>(plane.rows)) || first >= plane.rows) return;
    const int32_t last = plane.rows - first < count ? plane.rows : first + count;
    // The mapping starts on a page and covers whole pages.
    const size_t page = page_size();
    const size_t begin = row_bytes * static_cast<size_t>(first) / page * page;
    const size_t end = row_bytes * static_cast<size_t>(last);
    populate_pages(reinterpret_cast<char*>(plane.samples.get()) + begin, end - begin);
}
