// The walk over the markers of the JPEG stream.
#pragma once

#include "core/decoder_state.h"

// Marker codes: the byte after 0xFF.
enum MarkerCode : int {
    SOF0 = 0xC0,
    DHT = 0xC4,
    SOI = 0xD8,
    EOI = 0xD9,
    SOS = 0xDA,
    DQT = 0xDB,
    APP0 = 0xE0,
    COM = 0xFE,
};

inline constexpr int MARKER_PREFIX = 0xFF;

// Walks `in_file` from its current position, printing a line per marker and
// handing each known segment to its reader, until EOI, a marker it does not
// handle, or the end of the input after the picture has been written.
void walk_markers(DecoderState& state);
