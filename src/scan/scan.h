// The scan: its header, the component planes and the walk over the MCUs.
#pragma once

#include "core/decoder_state.h"

// Reads the SOS header right after its marker byte, decodes the whole scan
// into `planes` and writes the BMP file.
void decode_scan(DecoderState& state);
