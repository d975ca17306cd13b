// The BMP writer: upsampling, colour conversion and the file itself.
#pragma once

#include <cstdint>
#include <vector>

#include "core/decoder_state.h"

// The size of a 24-bit BMP file of the given picture: the 54-byte header
// and `height` rows of 3 x `width` bytes padded to a multiple of 4.
uint64_t bmp_file_size(int32_t width, int32_t height);

// Writes planes 0, 1, 2 as Y, Cb, Cr (a single plane as grey) to
// `out_file`, bottom line first, and closes it. A failed write is a fatal
// stop.
void write_bmp(DecoderState& state, const std::vector<int32_t>& index);
