// The decoded picture: one plane of samples per scan component.
//
// A plane covers its component's blocks, whole: for a 36 x 28 picture in
// 4:2:0 (luma factors 2 x 2, chroma 1 x 1) the frame is padded to 40 x 32,
// luma is 40 x 32 samples and each chroma plane is round_up_to_block(40 /
// 2) x round_up_to_block(32 / 2) = 24 x 16. The walk covers the picture in
// MCUs of 16 x 16 luma samples, 3 x 2 of them, whose last column and row
// reach past the planes (48 x 32): those samples are dropped.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "segments/frame.h"

// Releases a plane's storage, whichever way it was obtained.
struct PlaneRelease {
    size_t bytes = 0;
    void operator()(int32_t* samples) const;
};

// The samples of one component, line after line: row(y)[x] is the sample
// of column x, line y. Its storage's zero pages come from the system on
// first touch, so that memory grows only with the blocks actually decoded.
// A plane's record has a cache line to itself: the second thread reads it
// for every block while the MCU walk writes its own small arrays, which
// could lie beside it.
struct alignas(64) ComponentPlane {
    int32_t columns = 0;
    int32_t rows = 0;
    std::unique_ptr<int32_t[], PlaneRelease> samples;

    int32_t* row(int32_t y) { return samples.get() + static_cast<size_t>(y) * static_cast<size_t>(columns); }
    const int32_t* row(int32_t y) const {
        return samples.get() + static_cast<size_t>(y) * static_cast<size_t>(columns);
    }
};

// What the writer converts: the picture's size, and its components (their
// factors) and planes, in the order the writer takes them: Y, Cb, Cr, or
// red, green, blue where `rgb` says the samples are not transformed.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<FrameComponent> components;
    std::vector<ComponentPlane> planes;
    bool rgb = false;
};

// The columns and lines of a component's plane: its share of the padded
// frame by its factors against the largest ones, rounded up to whole
// blocks.
struct PlaneSize {
    int32_t columns;
    int32_t rows;
};
PlaneSize plane_size(const FrameHeader& frame, const FrameComponent& component, int32_t h_max, int32_t v_max);

// Allocates `plane` with every sample 0; false when the system refuses.
bool allocate_plane(ComponentPlane& plane, int32_t columns, int32_t rows);

// Asks the system for the pages of `count` lines from `first` at once,
// ahead of their samples: cheaper than a fault per page.
void prepare_rows(const ComponentPlane& plane, int32_t first, int32_t count);
