// The walk over the markers of the JPEG stream.
#pragma once

#include "core/decode.h"
#include "core/decoder.h"

// Walks the input from where it stands, a trace line per marker, handing
// each known segment to its reader and the scan's picture to the writer,
// until EOI, a marker it does not handle, or the end of the input after the
// picture has been written; by the rules of decode.options.walk. A fault
// throws DecodeError.
DecodeResult::End walk_markers(Decode& decode);
