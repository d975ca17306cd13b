// The record of one decode, made of its parts. Each part has one owner:
// the marker walk's thread reads the input and the segments into the
// tables and the frame, the scan fills the planes (with the second thread,
// which reads the tables and the transform tables and writes the planes
// only while the scan runs), and the writer reads the planes. The transform
// tables are shared by every decode and never written.
#pragma once

#include "core/byte_input.h"
#include "core/decoder.h"
#include "core/io.h"
#include "scan/arithmetic.h"
#include "scan/coefficients.h"
#include "scan/planes.h"
#include "segments/frame.h"
#include "segments/tables.h"

struct Decode {
    Decode(ByteSource& jpeg, ByteSink& bmp_sink, TraceSink& trace_sink, const DecodeOptions& decode_options)
        : input(jpeg), bmp(bmp_sink), trace(trace_sink), options(decode_options) {}

    ByteInput input;
    ByteSink& bmp;
    TraceSink& trace;
    const DecodeOptions options;

    QuantTables quant;
    HuffmanTables huffman;
    FrameHeader frame;
    // Of an extended file: the MCUs of a restart interval (0: none), the
    // colour transform of an Adobe segment (-1: none seen), and the Exif
    // orientation (1 to 8; 0: none seen).
    int32_t restart_interval = 0;
    int32_t adobe_transform = -1;
    int32_t orientation = 0;
    ArithmeticConditioning conditioning;
    // Of a frame coded in several scans: its coefficients, from the first
    // scan to the picture.
    FrameCoefficients coefficients;
    // From the scan to the end of the decode.
    Picture picture;
    // Set once the BMP has been written and closed: from then on the end of
    // the input ends the walk quietly and a second scan is refused.
    bool picture_written = false;
    // The code of the marker that ended a baseline walk.
    int unknown_marker = 0;
};
