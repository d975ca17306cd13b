// The output file: an uncompressed 24-bit BMP (BITMAPFILEHEADER of 14
// bytes, BITMAPINFOHEADER of 40 bytes, no colour table), rows bottom-up,
// each row blue, green, red per pixel and padded with zeros to a multiple
// of 4 bytes. Every multi-byte field is little-endian.
//
// Chroma is repeated over its sampling ratio, without interpolation; a
// greyscale picture is converted as if Cb = Cr = 128, which gives
// blue = green = red = Y.
#include "output/bmp.h"

#include <cstdio>

#include "core/fatal.h"
#include "output/colour_kernel.h"

namespace {

constexpr uint32_t INFO_HEADER_BYTES = 40;
constexpr uint32_t BITS_PER_PIXEL = 24;
constexpr uint32_t PIXELS_PER_METER = 2677;  // about 68 dots per inch
constexpr size_t OUTPUT_BATCH_BYTES = size_t{1} << 20;

void put_u16(uint8_t*& at, uint32_t value) {
    *at++ = static_cast<uint8_t>(value & 0xFF);
    *at++ = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void put_u32(uint8_t*& at, uint32_t value) {
    put_u16(at, value & 0xFFFF);
    put_u16(at, value >> 16);
}

void write_out(DecoderState& state, const uint8_t* bytes, size_t count) {
    // A picture of width 0 has empty rows, and no buffer behind them.
    if (count == 0) return;
    if (std::fwrite(bytes, 1, count, state.out_file) != count)
        fatal_warning("Warning! write error : %s\n", state.bmp_name.c_str());
}

void write_header(DecoderState& state) {
    uint8_t header[BMP_HEADER_BYTES];
    uint8_t* at = header;
    *at++ = 'B';
    *at++ = 'M';
    put_u32(at, static_cast<uint32_t>(bmp_file_size(state.width, state.height)));
    put_u16(at, 0);
    put_u16(at, 0);
    put_u32(at, BMP_HEADER_BYTES);
    put_u32(at, INFO_HEADER_BYTES);
    put_u32(at, static_cast<uint32_t>(state.width));
    put_u32(at, static_cast<uint32_t>(state.height));  // positive: bottom-up
    put_u16(at, 1);
    put_u16(at, BITS_PER_PIXEL);
    put_u32(at, 0);  // BI_RGB
    put_u32(at, 0);
    put_u32(at, PIXELS_PER_METER);
    put_u32(at, PIXELS_PER_METER);
    put_u32(at, 0);
    put_u32(at, 0);
    write_out(state, header, sizeof header);
}

// A line of a chroma plane as the converter takes it: as it stands for
// ratios 1 and 2, with each sample repeated over a larger ratio, kept for
// the luma lines that share it.
struct SpreadLine {
    int32_t ratio = 1;
    int32_t line = -1;
    std::vector<int32_t> samples;
};

ChromaLine chroma_line(const ComponentPlane& plane, int32_t y, int32_t width, SpreadLine& spread) {
    const int32_t* line = plane.row(y);
    if (spread.ratio <= 2) return {line, spread.ratio};
    if (spread.line != y) {
        spread.line = y;
        for (int32_t x = 0; x < width; ++x) spread.samples[x] = line[x / spread.ratio];
    }
    return {spread.samples.data(), 1};
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

// Rows gathered into batches of about a mebibyte, each handed to the
// system in one write: the file system takes large writes at about half
// the cost of page-sized ones. The stream's own buffer is not used, so no
// byte is copied twice.
class RowBatches {
public:
    RowBatches(DecoderState& state, size_t row_bytes)
        : state_(state),
          row_bytes_(row_bytes),
          rows_(row_bytes == 0 || row_bytes >= OUTPUT_BATCH_BYTES ? 1 : OUTPUT_BATCH_BYTES / row_bytes),
          bytes_(rows_ * row_bytes, 0) {}

    // The next row to fill; its padding bytes are already 0.
    uint8_t* next_row() {
        if (filled_ == rows_) flush();
        return bytes_.data() + row_bytes_ * filled_++;
    }

    void flush() {
        write_out(state_, bytes_.data(), row_bytes_ * filled_);
        filled_ = 0;
    }

private:
    DecoderState& state_;
    size_t row_bytes_;
    size_t rows_;
    std::vector<uint8_t> bytes_;
    size_t filled_ = 0;
};

}  // namespace

void write_bmp(DecoderState& state, const std::vector<int32_t>& index) {
    // Nothing has gone through the stream yet, as setvbuf needs.
    std::setvbuf(state.out_file, nullptr, _IONBF, 0);
    write_header(state);

    const int32_t width = state.width;
    RowBatches rows(state, static_cast<size_t>(bmp_row_bytes(width)));
    const bool grey = index.size() == 1;
    if (grey) {
        for (int32_t y = state.height - 1; y >= 0; --y) {
            const int32_t* luma = state.planes[0].row(y);
            uint8_t* line = rows.next_row();
            for (int32_t x = 0; x < width; ++x)
                line[3 * x] = line[3 * x + 1] = line[3 * x + 2] = static_cast<uint8_t>(luma[x]);
        }
    } else {
        const FrameComponent& luma = state.components[index[0]];
        const FrameComponent& cb = state.components[index[1]];
        const FrameComponent& cr = state.components[index[2]];
        const int32_t ry1 = luma.V / cb.V, ry2 = luma.V / cr.V;
        SpreadLine cb_line{luma.H / cb.H, -1, std::vector<int32_t>(static_cast<size_t>(width))};
        SpreadLine cr_line{luma.H / cr.H, -1, std::vector<int32_t>(static_cast<size_t>(width))};
        for (int32_t y = state.height - 1; y >= 0; --y) {
            convert_line(state.simd, state.planes[0].row(y), chroma_line(state.planes[1], y / ry1, width, cb_line),
                         chroma_line(state.planes[2], y / ry2, width, cr_line), width, rows.next_row());
        }
    }
    rows.flush();

    const int closed = std::fclose(state.out_file);
    state.out_file = nullptr;
    if (closed != 0) fatal_warning("Warning! write error : %s\n", state.bmp_name.c_str());
    state.picture_written = true;
}
