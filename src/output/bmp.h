// The BMP writer: upsampling, colour conversion and the file itself.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/batch_pipeline.h"
#include "core/decoder.h"
#include "core/io.h"
#include "scan/planes.h"

inline constexpr uint32_t BMP_HEADER_BYTES = 14 + 40;

// The bytes of one BMP row: 3 x `width` padded to a multiple of 4.
inline uint64_t bmp_row_bytes(int32_t width) {
    return 3 * static_cast<uint64_t>(width) + static_cast<uint64_t>(width) % 4;
}

// The size of a 24-bit BMP file of the given picture.
inline uint64_t bmp_file_size(int32_t width, int32_t height) {
    return BMP_HEADER_BYTES + static_cast<uint64_t>(height) * bmp_row_bytes(width);
}

// The BMP of a picture, planes 0, 1, 2 as Y, Cb, Cr (a single plane as
// grey), passed on band by band as its lines are decoded: each band's rows
// go to their place in the file at once where the sink
// can seek (a BMP is stored bottom-up, so the top band goes last), and are
// held until the picture is whole where it cannot. Two runners may write
// bands at the same time. A write that fails is kept, not thrown: the
// decode goes on, and finish() reports it. A stream not finished discards
// what it wrote, so that a decode that stops leaves an empty BMP.
class BmpStream {
public:
    BmpStream(ByteSink& bmp, SimdPath simd);
    ~BmpStream();
    BmpStream(const BmpStream&) = delete;
    BmpStream& operator=(const BmpStream&) = delete;

    // Takes the picture's size, components and planes, before any line:
    // `picture` (its planes may hold some lines only, line l at l % rows)
    // must stay as it is until finish() or the destructor. Lines are
    // converted `lines_at_once` at a time, into rows allocated here: a run
    // on the second thread allocates nothing.
    void begin(const Picture& picture, int32_t lines_at_once);

    // Converts and places picture lines `first` to `first + count - 1`,
    // all in the planes.
    void write_lines(int32_t first, int32_t count, Runner runner);
    // Writes the header (and the held rows) and closes the sink; stops the
    // decode at the first write that failed.
    void finish();

private:
    struct Lane;
    ByteSink& bmp_;
    const SimdPath simd_;
    const Picture* picture_ = nullptr;
    size_t row_bytes_ = 0;
    std::vector<std::unique_ptr<Lane>> lanes_;  // one per runner
    struct Release {
        void operator()(uint8_t* bytes) const;
    };
    std::unique_ptr<uint8_t[], Release> held_;  // the rows, where the sink cannot seek
    int32_t lines_at_once_ = 1;
    std::mutex writing_;
    bool write_failed_ = false;
    bool out_of_memory_ = false;  // a sink that could not grow
    bool finished_ = false;
};

// Writes `picture` turned upright as Exif orientation `orientation` (2 to
// 8) says: 2 mirrored left to right, 3 turned 180 degrees, 4 mirrored top
// to bottom, 5 transposed, 6 turned 90 degrees clockwise, 7 transposed and
// turned 180 degrees, 8 turned 90 degrees counter-clockwise. It holds the
// whole picture's rows to turn them.
void write_oriented_bmp(const Picture& picture, int32_t orientation, SimdPath simd, ByteSink& bmp);

// A line of chroma samples, each standing for `ratio` pixels (1 or 2).
struct ChromaLine {
    const int32_t* samples;
    int32_t ratio;
};

// Converts one line of `width` pixels to blue, green, red bytes. The
// variants give the same bytes.
void convert_line(SimdPath simd, const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr);
void convert_line_baseline(const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr);
#ifdef JPEG2BMP_AVX2
void convert_line_avx2(const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr);
#endif
