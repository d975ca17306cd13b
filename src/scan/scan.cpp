// SOS, start of scan:
//   Ls (2), Ns (1), then per scan component: Cs (1), Td/Ta (1, 4 bits
//   each), then Ss (1), Se (1), Ah/Al (1).
// A baseline sequential scan carries every frame component (Ns = Nf), the
// full spectral range (Ss = 0, Se = 63) and no successive approximation
// (Ah = Al = 0). The entropy-coded data follows the header and is decoded
// MCU by MCU; there is no restart-interval handling.
#include "scan/scan.h"

#include <cstdio>
#include <vector>

#include "core/fatal.h"
#include "core/input.h"
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
};

ScanHeader read_scan_header(DecoderState& state) {
    read_segment_u16(state);  // Ls: the fields themselves say where the header ends
    const int32_t ns = read_segment_byte(state);
    if (ns != state.component_count) fatal_warning("Warning! Ns = %d != Nf = %d\n", ns, state.component_count);

    ScanHeader header;
    header.components.resize(static_cast<size_t>(ns));
    for (ScanComponent& component : header.components) {
        component.Cs = read_segment_byte(state);
        const int32_t tables = read_segment_byte(state);
        component.Td = tables / 16;
        component.Ta = tables % 16;
    }
    if (read_segment_byte(state) != 0) fatal_warning("Warning! Ss != 0, not sequencial\n");
    if (read_segment_byte(state) != LAST_COEFFICIENT) fatal_warning("Warning! Se != 63, not sequencial\n");
    const int32_t approximation = read_segment_byte(state);
    if (approximation / 16 != 0 || approximation % 16 != 0) fatal_warning("Warning! Ah or Al != 0, not sequencial\n");
    return header;
}

// The frame position of each scan component, found by its label.
std::vector<int32_t> map_components(const DecoderState& state, const ScanHeader& header) {
    std::vector<int32_t> index(static_cast<size_t>(state.component_count));
    for (size_t i = 0; i < index.size(); ++i) {
        const int32_t cs = header.components[i].Cs;
        size_t j = 0;
        while (j < state.components.size() && state.components[j].label != cs) ++j;
        if (j == state.components.size()) fatal_warning("Warning! Cs = %d, no such component\n", cs);
        index[i] = static_cast<int32_t>(j);
        std::printf("index[%d] = %d\n", static_cast<int32_t>(i), index[i]);
    }
    return index;
}

// The writer reads the chroma planes through integer ratios of the sampling
// factors: component 0 must have the largest factors and those of
// components 1 and 2 must divide them. Greyscale is one component.
bool layout_supported(const DecoderState& state, const std::vector<int32_t>& index, int32_t h_max, int32_t v_max) {
    if (index.size() == 1) return true;
    if (index.size() < 3) return false;
    const FrameComponent& first = state.components[index[0]];
    if (first.H != h_max || first.V != v_max) return false;
    for (size_t i = 1; i < 3; ++i) {
        const FrameComponent& chroma = state.components[index[i]];
        if (first.H % chroma.H != 0 || first.V % chroma.V != 0) return false;
    }
    return true;
}

void check_scan(const DecoderState& state, const ScanHeader& header, const std::vector<int32_t>& index, int32_t h_max,
                int32_t v_max) {
    if (!layout_supported(state, index, h_max, v_max)) fatal_warning("Warning! component layout not supported\n");
    for (const ScanComponent& component : header.components) {
        const bool slots_exist = component.Td <= 1 && component.Ta <= 1;
        if (!slots_exist || !state.huffman_trees[0][component.Td] || !state.huffman_trees[1][component.Ta])
            fatal_warning("Warning! Td = %d, Ta = %d, no such Huffman table\n", component.Td, component.Ta);
    }
    // bfSize is a 32-bit field.
    if (bmp_file_size(state.width, state.height) > 4294967295u)
        fatal_warning("Warning! picture too large for a BMP file\n");
}

}  // namespace

void decode_scan(DecoderState& state) {
    const ScanHeader header = read_scan_header(state);
    const std::vector<int32_t> index = map_components(state, header);

    int32_t h_max = 1;
    int32_t v_max = 1;
    for (int32_t position : index) {
        if (state.components[position].H > h_max) h_max = state.components[position].H;
        if (state.components[position].V > v_max) v_max = state.components[position].V;
    }
    std::printf("H_max = %d V_max = %d\n", h_max, v_max);
    check_scan(state, header, index, h_max, v_max);

    const size_t count = index.size();
    state.planes.clear();
    state.planes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const FrameComponent& component = state.components[index[i]];
        const int32_t columns = round_up_to_block(component.H * state.padded_width / h_max);
        const int32_t rows = round_up_to_block(component.V * state.padded_height / v_max);
        std::printf("size of frame %d = %dx%d\n", static_cast<int32_t>(i), columns, rows);
        if (!allocate_plane(state.planes[i], columns, rows)) stop_out_of_memory();
    }

    // A single-component scan is coded block by block in raster order: its
    // MCU is one block, whatever the component's factors.
    const bool one_component = count == 1;
    const int32_t walk_h_max = one_component ? 1 : h_max;
    const int32_t walk_v_max = one_component ? 1 : v_max;

    BlockWorker worker(state);

    std::vector<int32_t> x_pos(count, 0);
    std::vector<int32_t> y_pos(count, 0);
    std::vector<int32_t> dc_pred(count, 0);
    for (bool done = false; !done;) {
        for (size_t i = 0; i < count; ++i) {
            const FrameComponent& component = state.components[index[i]];
            const int32_t h = one_component ? 1 : component.H;
            const int32_t v = one_component ? 1 : component.V;
            const HuffmanTree& dc_tree = *state.huffman_trees[0][header.components[i].Td];
            const HuffmanTree& ac_tree = *state.huffman_trees[1][header.components[i].Ta];
            const int32_t plane = static_cast<int32_t>(i);
            if (x_pos[i] == 0) worker.prepare(plane, y_pos[i], 8 * v);
            for (int32_t r = 0; r < v; ++r) {
                for (int32_t c = 0; c < h; ++c) {
                    decode_block(state, dc_tree, ac_tree, dc_pred[i]);
                    worker.add(BlockPlace{plane, x_pos[i] + 8 * c, y_pos[i] + 8 * r, component.Tq});
                }
            }
            // Each component wraps at its own width; the last one decides
            // the end.
            const int32_t component_width = h * state.padded_width / walk_h_max;
            if (x_pos[i] + 8 * h < component_width) {
                x_pos[i] += 8 * h;
            } else {
                x_pos[i] = 0;
                y_pos[i] += 8 * v;
            }
            if (i == count - 1 && y_pos[i] >= v * state.padded_height / walk_v_max) done = true;
        }
    }

    worker.finish();
    finish_scan_bits(state);
    std::printf("write to file .......\n");
    write_bmp(state, index);
}
