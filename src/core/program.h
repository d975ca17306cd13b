// The program's run for one base name, between the prompt and the final
// wait: both files, the marker walk and the decode-time line.
#pragma once

#include <string>

#include "core/decoder_state.h"

// Decodes base_name + ".jpg" into base_name + ".bmp". Returns normally on
// every outcome with exit status 0; a fatal stop does not return.
void run_program(DecoderState& state, const std::string& base_name);
