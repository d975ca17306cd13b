// The scans of a frame coded in several (ITU-T T.81, G.1.2 for the
// progressive ones), each into the frame's coefficients, by the passes of
// scan_header.h. In Huffman coding:
// - AC first: a symbol R/0 of R < 15 ends the block and the next
//   2^R - 1 + (R bits) blocks of the band (an end-of-band run);
// - AC refinement: one correction bit for each coefficient already
//   non-zero as the band is passed over, among the run/size symbols of the
//   new ones.
// A scan of several components goes MCU by MCU; one of a single component
// block by block over the blocks its samples reach.
#include <cstring>

#include "core/decode_error.h"
#include "core/format.h"
#include "core/messages.h"
#include "scan/arithmetic.h"
#include "scan/block_worker.h"
#include "scan/coefficients.h"
#include "scan/entropy.h"
#include "scan/transform_tables.h"

namespace {

// What 8-bit samples allow of a coefficient once shifted by Al: DC
// differences of 11 bits, AC coefficients of 10.
constexpr int32_t MAX_DC_BITS = EXTENDED_LIMITS.dc_category;
constexpr int32_t MAX_AC_BITS = EXTENDED_LIMITS.ac_size;
constexpr int32_t ZERO_RUN = 15;  // R of 0xF0: sixteen zeros

// One scan's decoding state: the bits, each scan component's predictor and
// tables, and the end-of-band run.
class ScanDecoder {
public:
    ScanDecoder(ByteInput& in, const ScanHeader& header, const HuffmanTables& huffman, Pass pass)
        : bits_(in), header_(header), huffman_(huffman), pass_(pass), dc_pred_(header.components.size(), 0) {}

    // Decodes the next block of scan component `i` into `block`.
    void decode(size_t i, int32_t* block) {
        switch (pass_) {
            case Pass::SEQUENTIAL: sequential(i, block); break;
            case Pass::DC_FIRST: dc_first(i, block); break;
            case Pass::DC_REFINE:
                if (read_bit(bits_)) block[0] |= shifted(1, header_.al);
                break;
            case Pass::AC_FIRST: ac_first(i, block); break;
            case Pass::AC_REFINE: ac_refine(i, block); break;
        }
    }

    void restart(int32_t number) {
        ::restart(bits_, number);
        dc_pred_.assign(dc_pred_.size(), 0);
        end_of_band_run_ = 0;
    }

    void finish() { finish_scan_bits(bits_); }

private:
    const HuffmanTree& dc_tree(size_t i) const { return *huffman_.trees[0][header_.components[i].Td]; }
    const HuffmanTree& ac_tree(size_t i) const { return *huffman_.trees[1][header_.components[i].Ta]; }

    void sequential(size_t i, int32_t* block) {
        decode_block(bits_, dc_tree(i), ac_tree(i), dc_pred_[i], scratch_, EXTENDED_LIMITS);
        std::memcpy(block, scratch_.data(), sizeof scratch_);
    }

    void dc_first(size_t i, int32_t* block) {
        const int32_t t = decode_symbol(bits_, dc_tree(i));
        int32_t difference = 0;
        if (t != 0) {
            if (t + header_.al > MAX_DC_BITS) fail(text::dc_category(t));
            difference = extend(read_bits(bits_, t), t);
        }
        dc_pred_[i] = static_cast<int32_t>(static_cast<uint32_t>(dc_pred_[i]) + static_cast<uint32_t>(difference));
        block[0] = shifted(dc_pred_[i], header_.al);
    }

    // R bits after an end-of-band symbol R/0: the run of blocks it ends,
    // this one included.
    int32_t end_of_band(int32_t r) { return (int32_t{1} << r) + (r > 0 ? read_bits(bits_, r) : 0); }

    void ac_first(size_t i, int32_t* block) {
        if (end_of_band_run_ > 0) {
            --end_of_band_run_;
            return;
        }
        for (int32_t k = header_.ss; k <= header_.se; ++k) {
            const int32_t rs = decode_symbol(bits_, ac_tree(i));
            const int32_t r = rs / 16;
            const int32_t s = rs % 16;
            if (s == 0) {
                if (r < ZERO_RUN) {
                    end_of_band_run_ = end_of_band(r) - 1;
                    return;
                }
                k += ZERO_RUN;
                continue;
            }
            k += r;
            if (k > header_.se) fail(text::ac_run_past_block());
            if (s + header_.al > MAX_AC_BITS) fail(text::ac_size(s));
            block[ZIGZAG[k]] = shifted(extend(read_bits(bits_, s), s), header_.al);
        }
    }

    void refine(int32_t& coefficient) { correct(coefficient, header_.al, read_bit(bits_) != 0); }

    void ac_refine(size_t i, int32_t* block) {
        int32_t k = header_.ss;
        if (end_of_band_run_ == 0) {
            for (; k <= header_.se; ++k) {
                const int32_t rs = decode_symbol(bits_, ac_tree(i));
                int32_t r = rs / 16;
                const int32_t s = rs % 16;
                int32_t value = 0;
                if (s == 0) {
                    if (r < ZERO_RUN) {
                        end_of_band_run_ = end_of_band(r);
                        break;
                    }
                } else {
                    if (s != 1) fail(text::ac_size(s));
                    value = read_bit(bits_) ? shifted(1, header_.al) : -shifted(1, header_.al);
                }
                // Past R coefficients still zero, refining the non-zero ones
                // on the way, to the place of the new one (ZRL: the 16th).
                for (; k <= header_.se; ++k) {
                    int32_t& coefficient = block[ZIGZAG[k]];
                    if (coefficient != 0) {
                        refine(coefficient);
                    } else if (r-- == 0) {
                        break;
                    }
                }
                if (value != 0) {
                    if (k > header_.se) fail(text::ac_run_past_block());
                    block[ZIGZAG[k]] = value;
                }
            }
        }
        if (end_of_band_run_ > 0) {
            for (; k <= header_.se; ++k)
                if (block[ZIGZAG[k]] != 0) refine(block[ZIGZAG[k]]);
            --end_of_band_run_;
        }
    }

    BitReader bits_;
    const ScanHeader& header_;
    const HuffmanTables& huffman_;
    const Pass pass_;
    std::vector<int32_t> dc_pred_;
    int32_t end_of_band_run_ = 0;
    Block scratch_{};
};

}  // namespace

namespace {

void start_coefficients(TraceSink& trace, const FrameHeader& frame, FrameCoefficients& coefficients) {
    FrameCoefficients& c = coefficients;
    for (const FrameComponent& component : frame.components) {
        c.h_max = component.H > c.h_max ? component.H : c.h_max;
        c.v_max = component.V > c.v_max ? component.V : c.v_max;
    }
    trace.put(text::largest_factors(c.h_max, c.v_max));
    std::vector<int32_t> order(frame.components.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int32_t>(i);
    check_picture(frame, Walk::EXTENDED, order, c.h_max, c.v_max);

    c.mcus_wide = ceil_div(frame.width, 8 * c.h_max);
    c.mcus_high = ceil_div(frame.height, 8 * c.v_max);
    c.components.clear();
    c.components.resize(frame.components.size());
    for (size_t i = 0; i < frame.components.size(); ++i) {
        const FrameComponent& component = frame.components[i];
        ComponentCoefficients& blocks = c.components[i];
        blocks.blocks_wide = c.mcus_wide * component.H;
        blocks.blocks_high = c.mcus_high * component.V;
        blocks.coded_wide = ceil_div(ceil_div(frame.width * component.H, c.h_max), 8);
        blocks.coded_high = ceil_div(ceil_div(frame.height * component.V, c.v_max), 8);
        const PlaneSize size = plane_size(frame, component, c.h_max, c.v_max);
        trace.put(text::plane_size(static_cast<int32_t>(i), size.columns, size.rows));
        if (!allocate_plane(blocks.values, 64 * blocks.blocks_wide, blocks.blocks_high)) fail(text::out_of_memory());
    }
}

}  // namespace

namespace {

// Decodes every unit of the scan (an MCU, or a block of a one-component
// scan) with `decoder`, ending restart intervals between them.
template <typename Decoder>
void decode_units(Decoder& decoder, const std::vector<int32_t>& index, const FrameHeader& frame,
                  int32_t restart_interval, FrameCoefficients& coefficients) {
    int32_t units = 0;
    int32_t intervals = 0;
    const auto unit_done = [&](bool last) {
        if (restart_interval > 0 && ++units == restart_interval && !last) {
            decoder.restart(intervals++);
            units = 0;
        }
    };
    if (index.size() == 1) {
        ComponentCoefficients& blocks = coefficients.components[static_cast<size_t>(index[0])];
        for (int32_t by = 0; by < blocks.coded_high; ++by) {
            for (int32_t bx = 0; bx < blocks.coded_wide; ++bx) {
                decoder.decode(0, blocks.block(bx, by));
                unit_done(by == blocks.coded_high - 1 && bx == blocks.coded_wide - 1);
            }
        }
    } else {
        for (int32_t my = 0; my < coefficients.mcus_high; ++my) {
            for (int32_t mx = 0; mx < coefficients.mcus_wide; ++mx) {
                for (size_t i = 0; i < index.size(); ++i) {
                    const FrameComponent& component = frame.components[static_cast<size_t>(index[i])];
                    ComponentCoefficients& blocks = coefficients.components[static_cast<size_t>(index[i])];
                    for (int32_t v = 0; v < component.V; ++v)
                        for (int32_t h = 0; h < component.H; ++h)
                            decoder.decode(i, blocks.block(mx * component.H + h, my * component.V + v));
                }
                unit_done(my == coefficients.mcus_high - 1 && mx == coefficients.mcus_wide - 1);
            }
        }
    }
    decoder.finish();
}

}  // namespace

void decode_coefficient_scan(ByteInput& in, TraceSink& trace, const ScanHeader& header, const FrameHeader& frame,
                             const HuffmanTables& huffman, const ArithmeticConditioning& conditioning,
                             int32_t restart_interval, Walk walk, FrameCoefficients& coefficients) {
    const std::vector<int32_t> index = map_components(trace, frame, header);
    trace.put(text::scan_band(header.ss, header.se, header.ah, header.al));
    if (coefficients.components.empty()) start_coefficients(trace, frame, coefficients);
    const Pass pass = pass_of(frame, header);
    if (frame.arithmetic) {
        ArithmeticScanDecoder decoder(in, header, conditioning, pass);
        decode_units(decoder, index, frame, restart_interval, coefficients);
    } else {
        check_tables(huffman, walk, header, reads_dc_tables(pass), reads_ac_tables(pass));
        ScanDecoder decoder(in, header, huffman, pass);
        decode_units(decoder, index, frame, restart_interval, coefficients);
    }
    if (pass == Pass::SEQUENTIAL || pass == Pass::DC_FIRST)
        for (int32_t position : index) coefficients.components[static_cast<size_t>(position)].has_dc = true;
}

void coefficients_to_picture(const FrameHeader& frame, const QuantTables& quant, const DecodeOptions& options,
                             FrameCoefficients& coefficients, Picture& picture, BmpStream* stream) {
    for (size_t i = 0; i < coefficients.components.size(); ++i)
        if (!coefficients.components[i].has_dc) fail(text::no_dc_scan(frame.components[i].label));
    picture.width = frame.width;
    picture.height = frame.height;
    picture.components = frame.components;
    picture.planes.clear();
    picture.planes.resize(frame.components.size());
    // Band m, MCU row m, is picture lines 8 V_max m on.
    int32_t band_blocks = 0;
    for (size_t i = 0; i < frame.components.size(); ++i)
        band_blocks += coefficients.components[i].blocks_wide * frame.components[i].V;
    const int32_t band_lines = 8 * coefficients.v_max;
    const BandTracking bands = stream ? stream_bands(*stream, band_blocks, band_lines, frame.height) : BandTracking{};
    std::vector<int32_t> plane_rows(frame.components.size());
    for (size_t i = 0; i < frame.components.size(); ++i) {
        const FrameComponent& component = frame.components[i];
        const PlaneSize size = plane_size(frame, component, coefficients.h_max, coefficients.v_max);
        plane_rows[i] = size.rows;
        const int32_t held = stream ? rows_held(bands, 8 * component.V, size.rows) : size.rows;
        if (!allocate_plane(picture.planes[i], size.columns, held)) fail(text::out_of_memory());
    }
    if (stream) stream->begin(picture, band_lines);
    BlockWorker worker(picture.planes, quant, transform_tables(), options.simd, options.second_thread, bands);
    for (int32_t band = 0; band < coefficients.mcus_high; ++band) {
        if (stream) worker.start_band(band);
        for (size_t i = 0; i < frame.components.size(); ++i) {
            ComponentCoefficients& blocks = coefficients.components[i];
            const int32_t plane = static_cast<int32_t>(i);
            const int32_t v = frame.components[i].V;
            for (int32_t by = band * v; by < (band + 1) * v; ++by) {
                const int32_t y0 = stream ? held_line(8 * by, plane_rows[i], picture.planes[i].rows) : 8 * by;
                if (!stream) worker.prepare(plane, y0, 8);
                for (int32_t bx = 0; bx < blocks.blocks_wide; ++bx)
                    worker.add(blocks.block(bx, by), BlockPlace{plane, 8 * bx, y0, frame.components[i].Tq, stream ? band : -1});
            }
        }
    }
    worker.finish();
}
