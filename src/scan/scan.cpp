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

#include <algorithm>
#include <vector>

#include "core/decode_error.h"
#include "core/format.h"
#include "core/messages.h"
#include "scan/block_worker.h"
#include "scan/entropy.h"

namespace {

// How the MCU walk covers one component: its MCU's blocks (H x V, or one
// in a scan of one component), the MCUs a row before it wraps, and its
// rows before the picture ends.
struct ComponentWalk {
    int32_t h = 1;
    int32_t v = 1;
    int32_t width = 0;  // samples a row, from which the walk wraps
    int32_t height = 0;
    int32_t mcus_wide = 0;
    int32_t mcus_high = 0;
};

}  // namespace

void decode_scan(ByteInput& in, TraceSink& trace, const ScanHeader& header, const FrameHeader& frame,
                 const QuantTables& quant, const HuffmanTables& huffman, int32_t restart_interval,
                 const DecodeOptions& options, Picture& picture, BmpStream* stream) {
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

    // A single-component scan is coded block by block in raster order: its
    // MCU is one block, whatever the component's factors.
    const size_t count = index.size();
    const bool one_component = count == 1;
    const int32_t walk_h_max = one_component ? 1 : h_max;
    const int32_t walk_v_max = one_component ? 1 : v_max;
    std::vector<ComponentWalk> walks(count);
    bool uniform = true;
    int32_t band_blocks = 0;
    for (size_t i = 0; i < count; ++i) {
        const FrameComponent& component = frame.components[index[i]];
        ComponentWalk& w = walks[i];
        w.h = one_component ? 1 : component.H;
        w.v = one_component ? 1 : component.V;
        w.width = w.h * frame.padded_width / walk_h_max;
        w.height = w.v * frame.padded_height / walk_v_max;
        // The walk takes one MCU before it looks where it stands.
        w.mcus_wide = std::max(1, ceil_div(w.width, 8 * w.h));
        w.mcus_high = std::max(1, ceil_div(w.height, 8 * w.v));
        uniform = uniform && w.mcus_wide == walks[0].mcus_wide && w.mcus_high == walks[0].mcus_high;
        band_blocks += w.mcus_wide * w.h * w.v;
    }
    // Band b, MCU row b, is picture lines band_lines x b on.
    const bool banded = stream != nullptr && uniform;
    const int32_t band_lines = 8 * walk_v_max;
    const BandTracking bands = banded ? stream_bands(*stream, band_blocks, band_lines, frame.height) : BandTracking{};

    picture.width = frame.width;
    picture.height = frame.height;
    picture.components.clear();
    picture.planes.clear();
    picture.planes.resize(count);
    std::vector<int32_t> plane_rows(count);
    for (size_t i = 0; i < count; ++i) {
        const FrameComponent& component = frame.components[index[i]];
        picture.components.push_back(component);
        const auto [columns, rows] = plane_size(frame, component, h_max, v_max);
        trace.put(text::plane_size(static_cast<int32_t>(i), columns, rows));
        plane_rows[i] = rows;
        const int32_t held = banded ? rows_held(bands, 8 * walks[i].v, rows) : rows;
        if (!allocate_plane(picture.planes[i], columns, held)) fail(text::out_of_memory());
    }
    if (stream) stream->begin(picture, band_lines);

    BitReader bits(in);
    const CoefficientLimits& limits = options.walk == Walk::EXTENDED ? EXTENDED_LIMITS : BASELINE_LIMITS;
    BlockWorker worker(picture.planes, quant, transform_tables(), options.simd, options.second_thread, bands);

    std::vector<int32_t> x_pos(count, 0);
    std::vector<int32_t> y_pos(count, 0);
    std::vector<int32_t> dc_pred(count, 0);
    int32_t band = 0;
    int32_t mcus_in_interval = 0;
    int32_t intervals = 0;
    for (bool done = false; !done;) {
        for (size_t i = 0; i < count; ++i) {
            const ComponentWalk& w = walks[i];
            const HuffmanTree& dc_tree = *huffman.trees[0][header.components[i].Td];
            const HuffmanTree& ac_tree = *huffman.trees[1][header.components[i].Ta];
            const int32_t plane = static_cast<int32_t>(i);
            const int32_t Tq = picture.components[i].Tq;
            if (x_pos[i] == 0) {
                if (!banded) {
                    worker.prepare(plane, y_pos[i], 8 * w.v);
                } else if (i == 0) {
                    worker.start_band(band);
                }
            }
            for (int32_t r = 0; r < w.v; ++r) {
                // In a plane of the rows in flight, line l is at l % rows;
                // a block past the plane's last line lands nowhere.
                const int32_t y = y_pos[i] + 8 * r;
                const int32_t y0 = banded ? held_line(y, plane_rows[i], picture.planes[i].rows) : y;
                for (int32_t c = 0; c < w.h; ++c) {
                    decode_block(bits, dc_tree, ac_tree, dc_pred[i], worker.next_ac(), limits);
                    worker.add_next(dc_pred[i], BlockPlace{plane, x_pos[i] + 8 * c, y0, Tq, banded ? band : -1});
                }
            }
            // Each component wraps at its own width; the last one decides
            // the end.
            if (x_pos[i] + 8 * w.h < w.width) {
                x_pos[i] += 8 * w.h;
            } else {
                x_pos[i] = 0;
                y_pos[i] += 8 * w.v;
                if (i == count - 1) ++band;
            }
            if (i == count - 1 && y_pos[i] >= w.height) done = true;
        }
        if (restart_interval > 0 && ++mcus_in_interval == restart_interval && !done) {
            restart(bits, intervals++);
            mcus_in_interval = 0;
            dc_pred.assign(count, 0);
        }
    }

    worker.finish();
    finish_scan_bits(bits);
    if (stream && !banded) stream->write_lines(0, frame.height, Runner::FILLER);
}
