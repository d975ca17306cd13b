// The scan: its header, the component planes and the walk over the MCUs.
#pragma once

#include "core/byte_input.h"
#include "core/decoder.h"
#include "scan/planes.h"
#include "scan/scan_header.h"
#include "segments/frame.h"
#include "segments/tables.h"

// Decodes the sequential scan of every component whose header the input
// stood after into `picture`, its planes in scan order; the input then
// stands after the scan's last byte. With a `restart_interval` (MCUs, 0
// for none) a marker RST0 to RST7, in turn, must follow each interval but
// the last.
void decode_scan(ByteInput& in, TraceSink& trace, const ScanHeader& header, const FrameHeader& frame,
                 const QuantTables& quant, const HuffmanTables& huffman, int32_t restart_interval,
                 const DecodeOptions& options, Picture& picture);
