// The output file: an uncompressed 24-bit BMP (BITMAPFILEHEADER of 14
// bytes, BITMAPINFOHEADER of 40 bytes, no colour table), rows bottom-up,
// each row blue, green, red per pixel and padded with zeros to a multiple
// of 4 bytes. Every multi-byte field is little-endian.
//
// The colours follow the YCbCr conversion of the JFIF file format,
// evaluated in double precision in the grouping written below, truncated
// toward zero and clamped to 0..255.
#include "output/bmp.h"

#include <cstdio>

#include "core/fatal.h"

namespace {

constexpr uint32_t HEADER_BYTES = 14 + 40;
constexpr uint32_t INFO_HEADER_BYTES = 40;
constexpr uint32_t BITS_PER_PIXEL = 24;
constexpr uint32_t PIXELS_PER_METER = 2677;  // about 68 dots per inch

void put_byte(DecoderState& state, int byte) {
    if (std::putc(byte, state.out_file) == EOF) fatal_warning("Warning! write error : %s\n", state.bmp_name.c_str());
}

void put_u16(DecoderState& state, uint32_t value) {
    put_byte(state, static_cast<int>(value & 0xFF));
    put_byte(state, static_cast<int>((value >> 8) & 0xFF));
}

void put_u32(DecoderState& state, uint32_t value) {
    put_u16(state, value & 0xFFFF);
    put_u16(state, value >> 16);
}

void write_header(DecoderState& state) {
    put_byte(state, 'B');
    put_byte(state, 'M');
    put_u32(state, static_cast<uint32_t>(bmp_file_size(state.width, state.height)));
    put_u16(state, 0);
    put_u16(state, 0);
    put_u32(state, HEADER_BYTES);
    put_u32(state, INFO_HEADER_BYTES);
    put_u32(state, static_cast<uint32_t>(state.width));
    put_u32(state, static_cast<uint32_t>(state.height));  // positive: bottom-up
    put_u16(state, 1);
    put_u16(state, BITS_PER_PIXEL);
    put_u32(state, 0);  // BI_RGB
    put_u32(state, 0);
    put_u32(state, PIXELS_PER_METER);
    put_u32(state, PIXELS_PER_METER);
    put_u32(state, 0);
    put_u32(state, 0);
}

int clamp_to_byte(double value) {
    // The value is within a few hundred of 0..255, so it fits an int.
    const int32_t i = static_cast<int32_t>(value);
    return i > 255 ? 255 : (i < 0 ? 0 : i);
}

}  // namespace

uint64_t bmp_file_size(int32_t width, int32_t height) {
    const uint64_t row_bytes = 3 * static_cast<uint64_t>(width) + static_cast<uint64_t>(width) % 4;
    return HEADER_BYTES + static_cast<uint64_t>(height) * row_bytes;
}

void write_bmp(DecoderState& state, const std::vector<int32_t>& index) {
    write_header(state);

    const bool grey = index.size() == 1;
    const FrameComponent& luma = state.components[index[0]];
    // Chroma is repeated over blocks of rx by ry pixels, without
    // interpolation.
    int32_t rx1 = 1, ry1 = 1, rx2 = 1, ry2 = 1;
    if (!grey) {
        const FrameComponent& cb = state.components[index[1]];
        const FrameComponent& cr = state.components[index[2]];
        rx1 = luma.H / cb.H;
        ry1 = luma.V / cb.V;
        rx2 = luma.H / cr.H;
        ry2 = luma.V / cr.V;
    }

    for (int32_t y = state.height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < state.width; ++x) {
            const int32_t luma_sample = state.planes[0].column(x)[y];
            // A greyscale picture is converted as if Cb = Cr = 128.
            const int32_t cb_sample = grey ? 128 : state.planes[1].column(x / rx1)[y / ry1];
            const int32_t cr_sample = grey ? 128 : state.planes[2].column(x / rx2)[y / ry2];
            const double Y = luma_sample;
            const double cb = cb_sample - 128;
            const double cr = cr_sample - 128;
            const double b = cb * 1.772 + Y;
            const double g = (Y - cb * 0.34414) - cr * 0.71414;
            const double r = cr * 1.402 + Y;
            put_byte(state, clamp_to_byte(b));
            put_byte(state, clamp_to_byte(g));
            put_byte(state, clamp_to_byte(r));
        }
        for (int32_t pad = 0; pad < state.width % 4; ++pad) put_byte(state, 0);
    }

    const int closed = std::fclose(state.out_file);
    state.out_file = nullptr;
    if (closed != 0) fatal_warning("Warning! write error : %s\n", state.bmp_name.c_str());
    state.picture_written = true;
}
