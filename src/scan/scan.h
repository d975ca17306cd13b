// The scan: its header, the component planes and the walk over the MCUs.
#pragma once

#include "core/byte_input.h"
#include "core/decoder.h"
#include "scan/planes.h"
#include "segments/frame.h"
#include "segments/tables.h"

// Reads the SOS header right after its marker byte and decodes the whole
// scan into `picture`; the input then stands after the scan's last byte.
// With a `restart_interval` (MCUs, 0 for none) a marker RST0 to RST7, in
// turn, must follow each interval but the last.
void decode_scan(ByteInput& in, TraceSink& trace, const FrameHeader& frame, const QuantTables& quant,
                 const HuffmanTables& huffman, int32_t restart_interval, const DecodeOptions& options,
                 Picture& picture);
