// A frame coded in several scans (sequential scans of some components,
// or progressive ones): its quantized coefficients gathered scan by scan,
// then turned into the planes once the last scan is in.
//
// Each component's blocks cover the frame's MCU grid. For a 36 x 28
// picture in 4:2:0 (luma 2 x 2, chroma 1 x 1) that is 3 x 2 MCUs of
// 16 x 16 luma samples: luma has 6 x 4 blocks, each chroma 3 x 2. A scan of
// one component alone codes only the blocks its samples reach: luma is
// ceil(36 / 8) x ceil(28 / 8) = 5 x 4 blocks, chroma ceil(18 / 8) x
// ceil(14 / 8) = 3 x 2.
#pragma once

#include <cstdint>
#include <vector>

#include "core/byte_input.h"
#include "core/decoder.h"
#include "output/bmp.h"
#include "scan/arithmetic.h"
#include "scan/planes.h"
#include "scan/scan_header.h"
#include "segments/frame.h"
#include "segments/tables.h"

struct ComponentCoefficients {
    int32_t blocks_wide = 0;  // the MCU grid's
    int32_t blocks_high = 0;
    int32_t coded_wide = 0;   // of a scan of this component alone
    int32_t coded_high = 0;
    // 64 coefficients a block, at their block places, the blocks line
    // after line: row(by) + 64 bx is block (bx, by). Zero pages from the
    // system, so that a header that claims a huge picture costs only the
    // blocks its scans hold.
    ComponentPlane values;
    // Whether a scan has set its DC coefficients (a progressive DC first
    // scan, or a sequential scan).
    bool has_dc = false;

    int32_t* block(int32_t bx, int32_t by) { return values.row(by) + 64 * static_cast<size_t>(bx); }
};

struct FrameCoefficients {
    int32_t h_max = 1;
    int32_t v_max = 1;
    int32_t mcus_wide = 0;
    int32_t mcus_high = 0;
    std::vector<ComponentCoefficients> components;  // in frame order
};

// A value shifted up by Al, in the 32-bit wrapping of the DC predictor.
inline int32_t shifted(int32_t value, int32_t al) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) << static_cast<uint32_t>(al));
}

// A refinement's bit Al of a coefficient already non-zero: where it is set
// and the coefficient does not have it yet, the magnitude grows by it.
inline void correct(int32_t& coefficient, int32_t al, bool bit) {
    const int32_t step = shifted(1, al);
    if (bit && (coefficient & step) == 0) coefficient += coefficient >= 0 ? step : -step;
}

// Decodes the scan whose header the input stood after into `coefficients`;
// the input then stands after the scan's last byte. The first scan lays out
// the grid of the frame's blocks, every coefficient 0, with the trace's
// H_max and plane-size lines and the checks of the picture the writer will
// take.
void decode_coefficient_scan(ByteInput& in, TraceSink& trace, const ScanHeader& header, const FrameHeader& frame,
                             const HuffmanTables& huffman, const ArithmeticConditioning& conditioning,
                             int32_t restart_interval, Walk walk, FrameCoefficients& coefficients);

// Dequantizes, transforms and stores every block into `picture`, its
// planes in frame order, MCU row by MCU row. Every component must have had
// its DC scan. With a `stream`, the planes hold only the rows in flight
// and each MCU row's lines go to the stream once its blocks are in.
void coefficients_to_picture(const FrameHeader& frame, const QuantTables& quant, const DecodeOptions& options,
                             FrameCoefficients& coefficients, Picture& picture, BmpStream* stream);
