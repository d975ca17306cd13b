// The output file: an uncompressed 24-bit BMP (BITMAPFILEHEADER of 14
// bytes, BITMAPINFOHEADER of 40 bytes, no colour table), rows bottom-up,
// each row blue, green, red per pixel and padded with zeros to a multiple
// of 4 bytes. Every multi-byte field is little-endian.
//
// Chroma is repeated over its sampling ratio, without interpolation; a
// greyscale picture is converted as if Cb = Cr = 128, which gives
// blue = green = red = Y.
#include "output/bmp.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/decode_error.h"
#include "core/messages.h"
#include "output/colour_kernel.h"

namespace {

constexpr uint32_t INFO_HEADER_BYTES = 40;
constexpr uint32_t BITS_PER_PIXEL = 24;
constexpr uint32_t PIXELS_PER_METER = 2677;  // about 68 dots per inch

void put_u16(uint8_t*& at, uint32_t value) {
    *at++ = static_cast<uint8_t>(value & 0xFF);
    *at++ = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void put_u32(uint8_t*& at, uint32_t value) {
    put_u16(at, value & 0xFFFF);
    put_u16(at, value >> 16);
}

void write_out(ByteSink& bmp, const uint8_t* bytes, size_t count) {
    // A picture of width 0 has empty rows, and no buffer behind them.
    if (count == 0) return;
    if (!bmp.write(bytes, count)) fail(text::write_error(bmp.name()));
}

void header_bytes(int32_t width, int32_t height, uint8_t (&header)[BMP_HEADER_BYTES]) {
    uint8_t* at = header;
    *at++ = 'B';
    *at++ = 'M';
    put_u32(at, static_cast<uint32_t>(bmp_file_size(width, height)));
    put_u16(at, 0);
    put_u16(at, 0);
    put_u32(at, BMP_HEADER_BYTES);
    put_u32(at, INFO_HEADER_BYTES);
    put_u32(at, static_cast<uint32_t>(width));
    put_u32(at, static_cast<uint32_t>(height));  // positive: bottom-up
    put_u16(at, 1);
    put_u16(at, BITS_PER_PIXEL);
    put_u32(at, 0);  // BI_RGB
    put_u32(at, 0);
    put_u32(at, PIXELS_PER_METER);
    put_u32(at, PIXELS_PER_METER);
    put_u32(at, 0);
    put_u32(at, 0);
}

void write_header(int32_t width, int32_t height, ByteSink& bmp) {
    uint8_t header[BMP_HEADER_BYTES];
    header_bytes(width, height, header);
    write_out(bmp, header, sizeof header);
}

// The lines of one component as the converter takes them. Pixel x of
// picture line y takes sample floor(x H / H_max) of plane line
// floor(y V / V_max), the nearest-sample rule: for whole ratios, each
// sample repeated over its ratio. Where the colour kernel reads the plane's
// line itself (ratio 1, or 2 for chroma), that line; otherwise its samples
// spread out once, kept for the picture lines that share them.
struct ComponentLines {
    const ComponentPlane* plane = nullptr;
    int32_t h = 1;
    int32_t v = 1;
    int32_t kernel_ratio = 0;  // 1 or 2: the plane's own line; 0: spread
    int32_t spread_line = -1;
    std::vector<int32_t> spread;
};

ComponentLines lines_of(const ComponentPlane& plane, const FrameComponent& component, int32_t h_max, int32_t width,
                        bool chroma) {
    ComponentLines lines{&plane, component.H, component.V, 0, -1, {}};
    const bool whole = h_max % component.H == 0;
    if (component.H == h_max) {
        lines.kernel_ratio = 1;
    } else if (chroma && whole && h_max / component.H == 2) {
        lines.kernel_ratio = 2;
    } else {
        lines.spread.resize(static_cast<size_t>(width));
    }
    return lines;
}

ChromaLine line_at(ComponentLines& lines, int32_t y, int32_t width, int32_t h_max, int32_t v_max) {
    const int32_t plane_line = y * lines.v / v_max;
    // A plane that holds only the lines in flight keeps line l at l % rows.
    const int32_t* samples = lines.plane->row(plane_line % lines.plane->rows);
    if (lines.kernel_ratio != 0) return {samples, lines.kernel_ratio};
    if (lines.spread_line != plane_line) {
        lines.spread_line = plane_line;
        for (int32_t x = 0; x < width; ++x) lines.spread[x] = samples[x * lines.h / h_max];
    }
    return {lines.spread.data(), 1};
}

}  // namespace

void convert_line_baseline(const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr) {
#ifdef __SSE2__
    convert_line_kernel<false>(y, cb, cr, width, bgr);
#else
    convert_line_kernel<true>(y, cb, cr, width, bgr);
#endif
}

void convert_line(SimdPath simd, const int32_t* y, ChromaLine cb, ChromaLine cr, int32_t width, uint8_t* bgr) {
#ifdef JPEG2BMP_AVX2
    if (simd == SimdPath::AVX2) return convert_line_avx2(y, cb, cr, width, bgr);
#endif
    (void)simd;
    convert_line_baseline(y, cb, cr, width, bgr);
}

namespace {

// Converts picture lines to BMP rows, padding included: one plane as
// grey, three as Y, Cb, Cr, or as red, green, blue where the picture says
// its components are not transformed.
class RowConverter {
public:
    RowConverter(const Picture& picture, SimdPath simd) : picture_(picture), simd_(simd) {
        for (const FrameComponent& component : picture.components) {
            h_max_ = component.H > h_max_ ? component.H : h_max_;
            v_max_ = component.V > v_max_ ? component.V : v_max_;
        }
        const size_t count = picture.planes.size() == 1 ? 1 : 3;
        for (size_t i = 0; i < count; ++i)
            lines_[i] = lines_of(picture.planes[i], picture.components[i], h_max_, picture.width, i > 0 && !picture.rgb);
    }

    void convert(int32_t y, uint8_t* row) {
        const int32_t width = picture_.width;
        const ChromaLine first = line_at(lines_[0], y, width, h_max_, v_max_);
        if (picture_.planes.size() == 1) {
            for (int32_t x = 0; x < width; ++x)
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = static_cast<uint8_t>(first.samples[x]);
        } else if (picture_.rgb) {
            // Samples are 0 to 255 already; blue, green, red in that order.
            const ChromaLine green = line_at(lines_[1], y, width, h_max_, v_max_);
            const ChromaLine blue = line_at(lines_[2], y, width, h_max_, v_max_);
            for (int32_t x = 0; x < width; ++x) {
                row[3 * x] = static_cast<uint8_t>(blue.samples[x]);
                row[3 * x + 1] = static_cast<uint8_t>(green.samples[x]);
                row[3 * x + 2] = static_cast<uint8_t>(first.samples[x]);
            }
        } else {
            convert_line(simd_, first.samples, line_at(lines_[1], y, width, h_max_, v_max_),
                         line_at(lines_[2], y, width, h_max_, v_max_), width, row);
        }
        for (uint64_t i = 3 * static_cast<uint64_t>(width); i < bmp_row_bytes(width); ++i) row[i] = 0;
    }

private:
    const Picture& picture_;
    const SimdPath simd_;
    int32_t h_max_ = 1;
    int32_t v_max_ = 1;
    std::array<ComponentLines, 3> lines_;
};

}  // namespace

// A runner's converter and the rows of the band it converts.
struct BmpStream::Lane {
    Lane(const Picture& picture, SimdPath simd) : converter(picture, simd) {}
    RowConverter converter;
    std::vector<uint8_t> rows;
};

void BmpStream::Release::operator()(uint8_t* bytes) const { std::free(bytes); }

BmpStream::BmpStream(ByteSink& bmp, SimdPath simd) : bmp_(bmp), simd_(simd) {}

void BmpStream::begin(const Picture& picture, int32_t lines_at_once) {
    picture_ = &picture;
    row_bytes_ = static_cast<size_t>(bmp_row_bytes(picture.width));
    lines_at_once_ = lines_at_once;
    lanes_.clear();
    if (!bmp_.seekable()) {
        // Zero pages from the system as the rows land, as for the planes.
        const size_t bytes = row_bytes_ * static_cast<size_t>(picture.height);
        held_.reset(static_cast<uint8_t*>(std::calloc(bytes == 0 ? 1 : bytes, 1)));
        if (!held_) fail(text::out_of_memory());
    }
    for (int i = 0; i < 2; ++i) {
        lanes_.push_back(std::make_unique<Lane>(picture, simd_));
        if (!held_) lanes_.back()->rows.resize(row_bytes_ * static_cast<size_t>(lines_at_once));
    }
}

BmpStream::~BmpStream() {
    if (!finished_) bmp_.discard();
}

void BmpStream::write_lines(int32_t first, int32_t count, Runner runner) {
    Lane& lane = *lanes_[runner == Runner::WORKER ? 1 : 0];
    for (int32_t end = first + count; first < end; first += lines_at_once_) {
        const int32_t lines = end - first < lines_at_once_ ? end - first : lines_at_once_;
        // Line y is row height - 1 - y of the file: the last line comes
        // first.
        const size_t first_row = static_cast<size_t>(picture_->height - first - lines);
        uint8_t* rows = held_ ? held_.get() + row_bytes_ * first_row : lane.rows.data();
        for (int32_t i = 0; i < lines; ++i)
            lane.converter.convert(first + lines - 1 - i, rows + row_bytes_ * static_cast<size_t>(i));
        const size_t bytes = row_bytes_ * static_cast<size_t>(lines);
        if (held_ || bytes == 0) continue;
        const std::lock_guard lock(writing_);
        if (write_failed_ || out_of_memory_) continue;
        try {
            write_failed_ = !bmp_.write_at(BMP_HEADER_BYTES + row_bytes_ * first_row, rows, bytes);
        } catch (const std::bad_alloc&) {
            out_of_memory_ = true;
        }
    }
}

void BmpStream::finish() {
    finished_ = true;
    if (out_of_memory_) fail(text::out_of_memory());
    if (held_) {
        write_header(picture_->width, picture_->height, bmp_);
        write_out(bmp_, held_.get(), row_bytes_ * static_cast<size_t>(picture_->height));
    } else {
        if (write_failed_) fail(text::write_error(bmp_.name()));
        uint8_t header[BMP_HEADER_BYTES];
        header_bytes(picture_->width, picture_->height, header);
        if (!bmp_.write_at(0, header, sizeof header)) fail(text::write_error(bmp_.name()));
    }
    if (!bmp_.close()) fail(text::write_error(bmp_.name()));
}

namespace {

// The pixel (x, y) of the coded picture, `width` x `height`, that pixel
// (X, Y) of the picture turned upright shows.
struct SourcePixel {
    int32_t x;
    int32_t y;
};

SourcePixel source_of(int32_t orientation, int32_t X, int32_t Y, int32_t width, int32_t height) {
    switch (orientation) {
        case 2: return {width - 1 - X, Y};
        case 3: return {width - 1 - X, height - 1 - Y};
        case 4: return {X, height - 1 - Y};
        case 5: return {Y, X};
        case 6: return {Y, height - 1 - X};
        case 7: return {width - 1 - Y, height - 1 - X};
        case 8: return {width - 1 - Y, X};
        default: return {X, Y};
    }
}

}  // namespace

void write_oriented_bmp(const Picture& picture, int32_t orientation, SimdPath simd, ByteSink& bmp) {
    const int32_t width = picture.width;
    const int32_t height = picture.height;
    const bool swapped = orientation >= 5;
    const int32_t out_width = swapped ? height : width;
    const int32_t out_height = swapped ? width : height;
    // The rows' padding changes with the width: bfSize is checked again.
    if (bmp_file_size(out_width, out_height) > 4294967295u) fail(text::picture_too_large());
    write_header(out_width, out_height, bmp);

    const size_t row_bytes = static_cast<size_t>(bmp_row_bytes(width));
    std::vector<uint8_t> rows(row_bytes * static_cast<size_t>(height));
    RowConverter converter(picture, simd);
    for (int32_t y = 0; y < height; ++y) converter.convert(y, rows.data() + row_bytes * static_cast<size_t>(y));

    std::vector<uint8_t> out_row(static_cast<size_t>(bmp_row_bytes(out_width)), 0);
    for (int32_t Y = out_height - 1; Y >= 0; --Y) {
        for (int32_t X = 0; X < out_width; ++X) {
            const SourcePixel from = source_of(orientation, X, Y, width, height);
            std::memcpy(&out_row[3 * static_cast<size_t>(X)],
                        &rows[row_bytes * static_cast<size_t>(from.y) + 3 * static_cast<size_t>(from.x)], 3);
        }
        write_out(bmp, out_row.data(), out_row.size());
    }
    if (!bmp.close()) fail(text::write_error(bmp.name()));
}
