#include "scan/scan_header.h"

#include "core/decode_error.h"
#include "core/format.h"
#include "core/messages.h"
#include "output/bmp.h"

namespace {

constexpr int32_t LAST_COEFFICIENT = 63;
// Al of 8-bit samples: a DC of 11 bits shifted down by at most 13 is zero.
constexpr int32_t MAX_AL = 13;

bool layout_supported(const FrameHeader& frame, Walk walk, const std::vector<int32_t>& index, int32_t h_max,
                      int32_t v_max) {
    if (index.size() == 1) return true;
    if (index.size() < 3) return false;
    if (walk == Walk::EXTENDED) return index.size() == 3;
    const FrameComponent& first = frame.components[index[0]];
    if (first.H != h_max || first.V != v_max) return false;
    for (size_t i = 1; i < 3; ++i) {
        const FrameComponent& chroma = frame.components[index[i]];
        if (first.H % chroma.H != 0 || first.V % chroma.V != 0) return false;
    }
    return true;
}

}  // namespace

void check_band(const ScanHeader& header) {
    if (header.ss != 0) fail(text::spectral_start());
    if (header.se != LAST_COEFFICIENT) fail(text::spectral_end());
    if (header.ah != 0 || header.al != 0) fail(text::approximation());
}

Pass pass_of(const FrameHeader& frame, const ScanHeader& header) {
    if (!frame.progressive) {
        check_band(header);
        return Pass::SEQUENTIAL;
    }
    const bool dc = header.ss == 0;
    const bool band =
        dc ? header.se == 0 : header.ss <= header.se && header.se <= LAST_COEFFICIENT && header.components.size() == 1;
    const bool bits = (header.ah == 0 || header.ah == header.al + 1) && header.al <= MAX_AL;
    if (!band || !bits) fail(text::progressive_band(header.ss, header.se, header.ah, header.al));
    if (dc) return header.ah == 0 ? Pass::DC_FIRST : Pass::DC_REFINE;
    return header.ah == 0 ? Pass::AC_FIRST : Pass::AC_REFINE;
}

ScanHeader read_scan_header(ByteInput& in, Walk walk, const FrameHeader& frame) {
    read_segment_u16(in);  // Ls: the fields themselves say where the header ends
    const int32_t ns = read_segment_byte(in);
    // An extended frame may be coded in several scans, of at most four
    // components each.
    const bool some = walk == Walk::EXTENDED && ns >= 1 && ns <= 4 && ns <= frame.component_count;
    if (ns != frame.component_count && !some) fail(text::scan_component_count(ns, frame.component_count));

    ScanHeader header;
    header.components.resize(static_cast<size_t>(ns));
    for (ScanComponent& component : header.components) {
        component.Cs = read_segment_byte(in);
        const int32_t tables = read_segment_byte(in);
        component.Td = tables / 16;
        component.Ta = tables % 16;
    }
    const bool baseline = walk == Walk::BASELINE;
    header.ss = read_segment_byte(in);
    if (baseline && header.ss != 0) fail(text::spectral_start());
    header.se = read_segment_byte(in);
    if (baseline && header.se != LAST_COEFFICIENT) fail(text::spectral_end());
    const int32_t approximation = read_segment_byte(in);
    header.ah = approximation / 16;
    header.al = approximation % 16;
    if (baseline) check_band(header);
    return header;
}

std::vector<int32_t> map_components(TraceSink& trace, const FrameHeader& frame, const ScanHeader& header) {
    std::vector<int32_t> index(header.components.size());
    for (size_t i = 0; i < index.size(); ++i) {
        const int32_t cs = header.components[i].Cs;
        size_t j = 0;
        while (j < frame.components.size() && frame.components[j].label != cs) ++j;
        if (j == frame.components.size()) fail(text::no_such_component(cs));
        index[i] = static_cast<int32_t>(j);
        trace.put(text::scan_index(static_cast<int32_t>(i), index[i]));
    }
    return index;
}

void check_picture(const FrameHeader& frame, Walk walk, const std::vector<int32_t>& index, int32_t h_max,
                   int32_t v_max) {
    if (!layout_supported(frame, walk, index, h_max, v_max)) fail(text::layout_not_supported());
    // bfSize is a 32-bit field.
    if (bmp_file_size(frame.width, frame.height) > 4294967295u) fail(text::picture_too_large());
}

void check_tables(const HuffmanTables& huffman, Walk walk, const ScanHeader& header, bool dc, bool ac) {
    const int32_t max_table = walk == Walk::EXTENDED ? 3 : 1;
    for (const ScanComponent& component : header.components) {
        const bool dc_there = component.Td <= max_table && huffman.trees[0][component.Td];
        const bool ac_there = component.Ta <= max_table && huffman.trees[1][component.Ta];
        if ((dc && !dc_there) || (ac && !ac_there)) fail(text::no_such_huffman_table(component.Td, component.Ta));
    }
}

void expect_restart_marker(ByteInput& in, int32_t number) {
    const int32_t expected = number % 8;
    int byte = read_byte(in);
    if (byte == MARKER_PREFIX) {
        do byte = read_byte(in);
        while (byte == MARKER_PREFIX);
    } else if (byte != END_OF_INPUT) {
        fail(text::restart_marker_missing(expected));
    }
    if (byte == END_OF_INPUT) fail(text::end_of_file());
    if (byte != RST0 + expected) fail(text::restart_marker_missing(expected));
}

void restart(BitReader& bits, int32_t number) {
    finish_scan_bits(bits);
    expect_restart_marker(bits.input, number);
}

