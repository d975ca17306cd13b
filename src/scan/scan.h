// The scan: its header, the component planes and the walk over the MCUs.
#pragma once

#include "core/byte_input.h"
#include "core/decoder.h"
#include "output/bmp.h"
#include "scan/planes.h"
#include "scan/scan_header.h"
#include "segments/frame.h"
#include "segments/tables.h"

// Decodes the sequential scan of every component whose header the input
// stood after into `picture`, its planes in scan order; the input then
// stands after the scan's last byte. With a `restart_interval` (MCUs, 0
// for none) a marker RST0 to RST7, in turn, must follow each interval but
// the last.
//
// With a `stream`, the planes hold only the MCU rows in flight, and each
// row's picture lines go to the stream as soon as its blocks are in, where
// every component has as many MCUs a row and as many rows as the others
// (always so but for sampling factors that do not divide the largest);
// otherwise, and without a stream, the planes hold the whole picture and
// the stream takes every line once the scan is done.
void decode_scan(ByteInput& in, TraceSink& trace, const ScanHeader& header, const FrameHeader& frame,
                 const QuantTables& quant, const HuffmanTables& huffman, int32_t restart_interval,
                 const DecodeOptions& options, Picture& picture, BmpStream* stream);
