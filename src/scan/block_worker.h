// The stages of a block after its entropy decoding: dequantization, the
// inverse DCT and the store into its plane. They need nothing from the
// blocks decoded after it, so they run on a second thread while the next
// blocks are decoded (and on the walk's own, where it would otherwise
// wait for the second); the entropy decoder, which alone reads the input
// and can stop the decode, stays on the thread of the MCU walk.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/batch_pipeline.h"
#include "core/decoder.h"
#include "core/format.h"
#include "output/bmp.h"
#include "scan/planes.h"
#include "scan/transform.h"
#include "scan/transform_tables.h"
#include "segments/tables.h"

// Where one block goes: its plane and its offset there (column, line),
// the quantization table of its component, and the band it belongs to
// (-1: none).
struct BlockPlace {
    int32_t plane = 0;
    int32_t x0 = 0;
    int32_t y0 = 0;
    int32_t Tq = 0;
    int32_t band = -1;
};

// Bands of blocks (the MCU rows of a scan whose picture is passed on as it
// is decoded): each has `blocks` blocks, and at most `slots` bands are in
// flight, band b in slot b % slots of the planes. The runner that stores a
// band's last block calls `done` with the band, on its own thread; `done`
// may not stop the decode.
struct BandTracking {
    int32_t blocks = 0;
    int32_t slots = 0;
    std::function<void(int32_t band, Runner runner)> done;
};

// The bands of a picture of `height` lines, `band_lines` a band (the last
// may have fewer), each band's lines going to `stream` once its
// `band_blocks` blocks are in: as many slots as the worker's batches in
// flight reach, and two more, the band being decoded and the band being
// written.
BandTracking stream_bands(BmpStream& stream, int32_t band_blocks, int32_t band_lines, int32_t height);

// The lines a plane holds for bands of `band_rows` of its lines: the
// slots' lines, or all its `rows` where they are fewer. Line l of the
// plane is kept at l % the lines held; `plane_line` below `rows` goes to
// that place, one past them nowhere (the rows held).
int32_t rows_held(const BandTracking& bands, int32_t band_rows, int32_t rows);
inline int32_t held_line(int32_t plane_line, int32_t rows, int32_t held) {
    return plane_line >= rows ? held : plane_line % held;
}

class BlockWorker {
public:
    // Reads `transform` and writes `planes`, which must stay as they are
    // until finish() or the destructor; takes `quant` as it is now.
    BlockWorker(std::vector<ComponentPlane>& planes, const QuantTables& quant, const TransformTables& transform,
                SimdPath simd, bool second_thread, BandTracking bands = {});

    // Asks the system for `count` lines of plane `plane` from `first`
    // (prepare_rows) before their blocks land. Whichever thread has time
    // does it: this one when the worker is behind, else the worker, before
    // it stores the next block added, which must be the first of them.
    void prepare(int32_t plane, int32_t first, int32_t count);
    // Takes the 64 coefficients, at their block places, of the block for
    // `place`.
    void add(const int32_t* coefficients, const BlockPlace& place);
    // Or, without a copy: the AC coefficients of the next block, to be
    // written in place, then its DC coefficient and place.
    AcBlock& next_ac() { return filling_->jobs[filling_->count].ac; }
    void add_next(int32_t dc, const BlockPlace& place);
    // Comes before the first block of band `band` is added (bands in
    // order, each after the blocks of the one before): returns once the
    // band that held its slot before is done, so that its lines may be
    // written over.
    void start_band(int32_t band);
    // Returns once every block added is in its plane.
    void finish();

private:
    // Blocks are handed over in batches: one hand-over per batch, and the
    // batches in flight (BATCH_COUNT x BATCH_BLOCKS x 152 bytes, about 300
    // KB) stay in the processors' caches.
    static constexpr size_t BATCH_BLOCKS = 128;
    static constexpr size_t BATCH_COUNT = 16;
    // Every byte of a job crosses from one processor's cache to the
    // other's, so the coefficients travel in 16 bits: an AC coefficient has
    // at most 15 value bits. The DC one, a running sum, keeps its 32.
    struct Job {
        AcBlock ac;
        int32_t dc;
        BlockPlace place;
        int32_t prepare_rows;  // lines from the block's own to ask for first
    };
    struct Batch {
        std::array<Job, BATCH_BLOCKS> jobs;
        size_t count = 0;
    };
    // A thread's own blocks, on cache lines of their own.
    struct alignas(64) Scratch {
        Block coefficients;
        Block samples;
    };

    void run(const Batch& batch, Runner runner);
    void publish();
    void count_stored(int32_t band, int32_t blocks, Runner runner);

    std::vector<ComponentPlane>& planes_;
    const std::array<BlockQuant, 4> quant_;
    const TransformTables& transform_;
    const SimdPath simd_;
    // One per runner, FILLER then WORKER. Declared before the pipeline, so
    // that the pipeline, which joins the worker, is destroyed first.
    std::array<Scratch, 2> scratch_;
    const BandTracking bands_;
    // Per slot: the blocks of its band stored so far, and the number of
    // the batch that holds the band's last block added.
    std::vector<std::atomic<int32_t>> stored_;
    std::vector<uint64_t> last_batch_;
    BatchPipeline<Batch> pipeline_;
    Batch* filling_;
    int32_t prepare_rows_ = 0;
};
