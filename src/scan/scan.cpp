// SOS, start of scan:
//   Ls (2), Ns (1), then per scan component: Cs (1), Td/Ta (1, 4 bits
//   each), then Ss (1), Se (1), Ah/Al (1).
// A baseline sequential scan carries every frame component (Ns = Nf), the
// full spectral range (Ss = 0, Se = 63) and no successive approximation
// (Ah = Al = 0). The entropy-coded data follows the header and is decoded
// MCU by MCU. An extended file may define a restart interval (DRI): after
// every Ri MCUs the data's last byte is padded, a marker RSTn (n counting
// 0 to 7 and round again) follows, and the DC predictors start again
// from 0.
//
// An MCU holds H x V blocks of each component, in the frame's sampling
// factors, line by line, the components in scan order: in 4:2:0 four luma
// blocks (0, 0), (8, 0), (0, 8), (8, 8), then one Cb and one Cr block.
// MCUs follow each other left to right, then down; a scan of one
// component has MCUs of one block.
#include "scan/scan.h"

#include <vector>

#include "core/decode_error.h"
#include "core/format.h"
#include "core/messages.h"
#include "output/bmp.h"
#include "scan/block_worker.h"
#include "scan/entropy.h"

namespace {

constexpr int32_t LAST_COEFFICIENT = 63;

struct ScanComponent {
    int32_t Cs = 0;
    int32_t Td = 0;
    int32_t Ta = 0;
};

struct ScanHeader {
    std::vector<ScanComponent> components;
    int32_t ss = 0;  // spectral selection, 0 to 63
    int32_t se = 0;
    int32_t ah = 0;  // successive approximation, 0 to 15
    int32_t al = 0;
};

// A sequential scan's band: every coefficient, at full precision.
void check_band(const ScanHeader& header) {
    if (header.ss != 0) fail(text::spectral_start());
    if (header.se != LAST_COEFFICIENT) fail(text::spectral_end());
    if (header.ah != 0 || header.al != 0) fail(text::approximation());
}

// A baseline scan's band is checked field by field as it is read; an
// extended scan's once its components are known (check_band).
ScanHeader read_scan_header(ByteInput& in, Walk walk, const FrameHeader& frame) {
    read_segment_u16(in);  // Ls: the fields themselves say where the header ends
    const int32_t ns = read_segment_byte(in);
    if (ns != frame.component_count) {
        // A scan of some of the components, in an extended file, is one of
        // several.
        if (walk == Walk::EXTENDED && ns >= 1 && ns < frame.component_count) fail(text::several_scans());
        fail(text::scan_component_count(ns, frame.component_count));
    }

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

// The frame position of each scan component, found by its label.
std::vector<int32_t> map_components(TraceSink& trace, const FrameHeader& frame, const ScanHeader& header) {
    std::vector<int32_t> index(static_cast<size_t>(frame.component_count));
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

// The writer reads the chroma planes through integer ratios of the sampling
// factors: component 0 must have the largest factors and those of
// components 1 and 2 must divide them. Greyscale is one component.
bool layout_supported(const FrameHeader& frame, const std::vector<int32_t>& index, int32_t h_max, int32_t v_max) {
    if (index.size() == 1) return true;
    if (index.size() < 3) return false;
    const FrameComponent& first = frame.components[index[0]];
    if (first.H != h_max || first.V != v_max) return false;
    for (size_t i = 1; i < 3; ++i) {
        const FrameComponent& chroma = frame.components[index[i]];
        if (first.H % chroma.H != 0 || first.V % chroma.V != 0) return false;
    }
    return true;
}

void check_scan(const FrameHeader& frame, const HuffmanTables& huffman, Walk walk, const ScanHeader& header,
                const std::vector<int32_t>& index, int32_t h_max, int32_t v_max) {
    if (!layout_supported(frame, index, h_max, v_max)) fail(text::layout_not_supported());
    const int32_t max_table = walk == Walk::EXTENDED ? 3 : 1;
    for (const ScanComponent& component : header.components) {
        const bool slots_exist = component.Td <= max_table && component.Ta <= max_table;
        if (!slots_exist || !huffman.trees[0][component.Td] || !huffman.trees[1][component.Ta])
            fail(text::no_such_huffman_table(component.Td, component.Ta));
    }
    // bfSize is a 32-bit field.
    if (bmp_file_size(frame.width, frame.height) > 4294967295u) fail(text::picture_too_large());
}

// Ends restart interval `number` (counted from 0): the bits left in the
// last byte are dropped, and the marker of the interval, after any fill
// bytes 0xFF, must follow.
void restart(BitReader& bits, int32_t number) {
    finish_scan_bits(bits);
    const int32_t expected = number % 8;
    int byte = read_byte(bits.input);
    if (byte == MARKER_PREFIX) {
        do byte = read_byte(bits.input);
        while (byte == MARKER_PREFIX);
    } else if (byte != END_OF_INPUT) {
        fail(text::restart_marker_missing(expected));
    }
    if (byte == END_OF_INPUT) fail(text::end_of_file());
    if (byte != RST0 + expected) fail(text::restart_marker_missing(expected));
}

}  // namespace

void decode_scan(ByteInput& in, TraceSink& trace, const FrameHeader& frame, const QuantTables& quant,
                 const HuffmanTables& huffman, int32_t restart_interval, const DecodeOptions& options,
                 Picture& picture) {
    const ScanHeader header = read_scan_header(in, options.walk, frame);
    const std::vector<int32_t> index = map_components(trace, frame, header);
    if (options.walk == Walk::EXTENDED) {
        trace.put(text::scan_band(header.ss, header.se, header.ah, header.al));
        check_band(header);
    }

    int32_t h_max = 1;
    int32_t v_max = 1;
    for (int32_t position : index) {
        if (frame.components[position].H > h_max) h_max = frame.components[position].H;
        if (frame.components[position].V > v_max) v_max = frame.components[position].V;
    }
    trace.put(text::largest_factors(h_max, v_max));
    check_scan(frame, huffman, options.walk, header, index, h_max, v_max);

    const size_t count = index.size();
    picture.width = frame.width;
    picture.height = frame.height;
    picture.components.clear();
    picture.planes.clear();
    picture.planes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const FrameComponent& component = frame.components[index[i]];
        picture.components.push_back(component);
        const int32_t columns = round_up_to_block(component.H * frame.padded_width / h_max);
        const int32_t rows = round_up_to_block(component.V * frame.padded_height / v_max);
        trace.put(text::plane_size(static_cast<int32_t>(i), columns, rows));
        if (!allocate_plane(picture.planes[i], columns, rows)) fail(text::out_of_memory());
    }

    // A single-component scan is coded block by block in raster order: its
    // MCU is one block, whatever the component's factors.
    const bool one_component = count == 1;
    const int32_t walk_h_max = one_component ? 1 : h_max;
    const int32_t walk_v_max = one_component ? 1 : v_max;

    BitReader bits(in);
    Block coefficients{};
    BlockWorker worker(picture.planes, quant, transform_tables(), options.simd, options.second_thread);

    std::vector<int32_t> x_pos(count, 0);
    std::vector<int32_t> y_pos(count, 0);
    std::vector<int32_t> dc_pred(count, 0);
    int32_t mcus_in_interval = 0;
    int32_t intervals = 0;
    for (bool done = false; !done;) {
        for (size_t i = 0; i < count; ++i) {
            const FrameComponent& component = picture.components[i];
            const int32_t h = one_component ? 1 : component.H;
            const int32_t v = one_component ? 1 : component.V;
            const HuffmanTree& dc_tree = *huffman.trees[0][header.components[i].Td];
            const HuffmanTree& ac_tree = *huffman.trees[1][header.components[i].Ta];
            const int32_t plane = static_cast<int32_t>(i);
            if (x_pos[i] == 0) worker.prepare(plane, y_pos[i], 8 * v);
            for (int32_t r = 0; r < v; ++r) {
                for (int32_t c = 0; c < h; ++c) {
                    decode_block(bits, dc_tree, ac_tree, dc_pred[i], coefficients);
                    worker.add(coefficients, BlockPlace{plane, x_pos[i] + 8 * c, y_pos[i] + 8 * r, component.Tq});
                }
            }
            // Each component wraps at its own width; the last one decides
            // the end.
            const int32_t component_width = h * frame.padded_width / walk_h_max;
            if (x_pos[i] + 8 * h < component_width) {
                x_pos[i] += 8 * h;
            } else {
                x_pos[i] = 0;
                y_pos[i] += 8 * v;
            }
            if (i == count - 1 && y_pos[i] >= v * frame.padded_height / walk_v_max) done = true;
        }
        if (restart_interval > 0 && ++mcus_in_interval == restart_interval && !done) {
            restart(bits, intervals++);
            mcus_in_interval = 0;
            dc_pred.assign(count, 0);
        }
    }

    worker.finish();
    finish_scan_bits(bits);
}
