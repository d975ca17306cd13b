// A sequential scan of every component of the frame, straight into the
// planes: the entropy-coded data follows the SOS header and is decoded MCU
// by MCU. An extended file may define a restart interval (DRI): after
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
#include "scan/block_worker.h"
#include "scan/entropy.h"

void decode_scan(ByteInput& in, TraceSink& trace, const ScanHeader& header, const FrameHeader& frame,
                 const QuantTables& quant, const HuffmanTables& huffman, int32_t restart_interval,
                 const DecodeOptions& options, Picture& picture) {
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
    check_picture(frame, options.walk, index, h_max, v_max);
    check_tables(huffman, options.walk, header, true, true);

    const size_t count = index.size();
    picture.width = frame.width;
    picture.height = frame.height;
    picture.components.clear();
    picture.planes.clear();
    picture.planes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const FrameComponent& component = frame.components[index[i]];
        picture.components.push_back(component);
        const auto [columns, rows] = plane_size(frame, component, h_max, v_max);
        trace.put(text::plane_size(static_cast<int32_t>(i), columns, rows));
        if (!allocate_plane(picture.planes[i], columns, rows)) fail(text::out_of_memory());
    }

    // A single-component scan is coded block by block in raster order: its
    // MCU is one block, whatever the component's factors.
    const bool one_component = count == 1;
    const int32_t walk_h_max = one_component ? 1 : h_max;
    const int32_t walk_v_max = one_component ? 1 : v_max;

    BitReader bits(in);
    const CoefficientLimits& limits = options.walk == Walk::EXTENDED ? EXTENDED_LIMITS : BASELINE_LIMITS;
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
                    decode_block(bits, dc_tree, ac_tree, dc_pred[i], coefficients, limits);
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
