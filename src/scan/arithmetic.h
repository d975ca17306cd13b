// Arithmetic-coded scans (SOF9 and SOF10, ITU-T T.81 Annex D, F.1.4 and
// G.1.3): the adaptive binary decoder and the models of the DC differences
// and the AC coefficients, with the conditioning tables of DAC segments.
// A progressive scan codes its passes (scan_header.h) with the same models
// over its band, its values shifted by Al; the refinements of DC bits and
// the signs take the fixed estimate of one half.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/byte_input.h"
#include "scan/scan_header.h"

// DAC, define arithmetic conditioning:
//   La (2), then per table: Tc/Tb (1, 4 bits each), Cs (1): for a DC table
//   (Tc = 0) U and L, 4 bits each, the bounds of the DC difference's
//   classes; for an AC table (Tc = 1) Kx, 1 to 63, where the AC magnitude
//   contexts change. Tables that no DAC defines keep L = 0, U = 1, Kx = 5.
struct ArithmeticConditioning {
    std::array<int32_t, 4> dc_lower{0, 0, 0, 0};
    std::array<int32_t, 4> dc_upper{1, 1, 1, 1};
    std::array<int32_t, 4> ac_split{5, 5, 5, 5};
};

void read_dac(ByteInput& in, ArithmeticConditioning& conditioning);

// One adaptive probability estimate: its state in the table of estimates
// (0 to 112) and the more probable symbol.
struct ArithmeticBin {
    uint8_t state = 0;
    uint8_t mps = 0;
};

// The decoder of one scan, block by block, in the order of the scan's
// units (as ScanDecoder of coefficient_scan.cpp).
class ArithmeticScanDecoder {
public:
    ArithmeticScanDecoder(ByteInput& in, const ScanHeader& header, const ArithmeticConditioning& conditioning,
                          Pass pass);

    void decode(size_t i, int32_t* block);
    void restart(int32_t number);
    void finish() {}

private:
    void start();
    void byte_in();
    int32_t decode_bit(ArithmeticBin& bin);
    int32_t decode_half();
    // The magnitude less one of a non-zero value, from its first
    // magnitude bin on: its power of two, then the bits below it.
    int32_t magnitude(ArithmeticBin* first, ArithmeticBin* powers, bool first_is_power);
    void dc_first(size_t i, int32_t* block);
    void ac_first(size_t i, int32_t* block, int32_t first, int32_t last);
    void ac_refine(size_t i, int32_t* block);

    ByteInput& in_;
    const ScanHeader& header_;
    const ArithmeticConditioning& conditioning_;
    const Pass pass_;
    // The code register (its upper 16 bits compared with the interval),
    // the interval, and the bits left before the next byte.
    uint32_t code_ = 0;
    uint32_t interval_ = 0;
    int32_t bits_left_ = 0;
    bool at_marker_ = false;
    int32_t blocks_past_data_ = 0;
    // Per table: 49 DC bins (five classes of four, the powers X1 to X15,
    // the bits M2 to M15) and 245 AC bins (three per index, then the
    // powers and bits below and above Kx).
    std::array<std::array<ArithmeticBin, 49>, 4> dc_bins_{};
    std::array<std::array<ArithmeticBin, 245>, 4> ac_bins_{};
    std::vector<int32_t> dc_pred_;
    std::vector<int32_t> dc_class_;  // 0, 4, 8, 12 or 16: the first bin of the next difference
};
