// SOS, start of scan:
//   Ls (2), Ns (1), then per scan component: Cs (1), Td/Ta (1, 4 bits
//   each), then Ss (1), Se (1), Ah/Al (1).
// A baseline sequential scan carries every frame component (Ns = Nf), the
// full spectral range (Ss = 0, Se = 63) and no successive approximation
// (Ah = Al = 0). An extended file may code its frame in several scans, each
// of 1 to 4 of the components, and a progressive one codes each component
// in bands of coefficients (Ss to Se) and bit planes (Ah, Al).
#pragma once

#include <cstdint>
#include <vector>

#include "core/byte_input.h"
#include "core/decoder.h"
#include "scan/entropy.h"
#include "segments/frame.h"
#include "segments/tables.h"

struct ScanComponent {
    int32_t Cs = 0;
    int32_t Td = 0;
    int32_t Ta = 0;
};

struct ScanHeader {
    std::vector<ScanComponent> components;
    int32_t ss = 0;  // spectral selection, 0 to 63 (read as a byte)
    int32_t se = 0;
    int32_t ah = 0;  // successive approximation, 0 to 15
    int32_t al = 0;
};

// Reads the SOS header right after its marker byte. A baseline scan's band
// is checked field by field as it is read; an extended scan's once its
// components are known (check_band, or the progressive checks).
ScanHeader read_scan_header(ByteInput& in, Walk walk, const FrameHeader& frame);

// The frame position of each scan component, found by its label, with its
// trace line.
std::vector<int32_t> map_components(TraceSink& trace, const FrameHeader& frame, const ScanHeader& header);

// A sequential scan's band: every coefficient, at full precision.
void check_band(const ScanHeader& header);

// What a scan of a frame coded in several codes of its blocks:
// - sequential: every coefficient, as a baseline scan codes them;
// - DC first (Ss = Se = 0, Ah = 0): the DC differences, shifted up by Al;
// - DC refinement (Ah = Al + 1): one bit a block, bit Al of the DC;
// - AC first (1 <= Ss <= Se, Ah = 0, one component): the band's
//   coefficients shifted up by Al;
// - AC refinement (Ah = Al + 1, one component): bit Al of the coefficients
//   already non-zero and the new coefficients of +-2^Al.
enum class Pass { SEQUENTIAL, DC_FIRST, DC_REFINE, AC_FIRST, AC_REFINE };

// The scan's pass, its band and bits checked against what its frame
// allows.
Pass pass_of(const FrameHeader& frame, const ScanHeader& header);

// Whether a pass decodes DC coefficients from their tables (a refinement
// reads bare bits), and AC coefficients.
inline bool reads_dc_tables(Pass pass) { return pass == Pass::SEQUENTIAL || pass == Pass::DC_FIRST; }
inline bool reads_ac_tables(Pass pass) { return pass == Pass::SEQUENTIAL || pass == Pass::AC_FIRST || pass == Pass::AC_REFINE; }

// The components' layout (`index`: their frame positions, in the writer's
// order) and the picture's size are what the writer can take: in an
// extended file one or three components of any factors, in a baseline one
// a luma component with the largest factors and chroma factors that divide
// them.
void check_picture(const FrameHeader& frame, Walk walk, const std::vector<int32_t>& index, int32_t h_max,
                   int32_t v_max);

// The scan's Huffman tables exist: of the DC class, the AC class, or both.
void check_tables(const HuffmanTables& huffman, Walk walk, const ScanHeader& header, bool dc, bool ac);

// The marker that ends restart interval `number` (counted from 0), after
// any fill bytes 0xFF, must be next in the input: RST0 to RST7 in turn.
void expect_restart_marker(ByteInput& in, int32_t number);

// Ends restart interval `number` of a Huffman-coded scan: the bits left in
// the last byte are dropped, and the interval's marker must follow.
void restart(BitReader& bits, int32_t number);
