#include "scan/block_worker.h"

#include <cstring>

#include "scan/transform.h"

namespace {

// Copies `samples` into `plane` at (x0, y0); samples that fall outside the
// plane (the overshoot of a last MCU column or row) are dropped.
void store_block(const Block& samples, ComponentPlane& plane, int32_t x0, int32_t y0) {
    if (x0 >= plane.columns) return;
    const int32_t lines = plane.rows - y0 < 8 ? plane.rows - y0 : 8;
    if (plane.columns - x0 >= 8) {
        for (int32_t y = 0; y < lines; ++y) std::memcpy(plane.row(y0 + y) + x0, &samples[8 * y], 8 * sizeof(int32_t));
        return;
    }
    const size_t bytes = static_cast<size_t>(plane.columns - x0) * sizeof(int32_t);
    for (int32_t y = 0; y < lines; ++y) std::memcpy(plane.row(y0 + y) + x0, &samples[8 * y], bytes);
}

// The filler may run ahead of the blocks stored by up to the worker's
// batches in flight, 16 x 128 blocks.
constexpr int32_t BLOCKS_IN_FLIGHT = 2048;
constexpr int32_t BANDS_BESIDE_IN_FLIGHT = 2;

}  // namespace

BandTracking stream_bands(BmpStream& stream, int32_t band_blocks, int32_t band_lines, int32_t height) {
    BandTracking bands;
    bands.blocks = band_blocks;
    // A picture 0 samples wide has bands of no blocks and empty rows.
    const int32_t blocks = band_blocks > 0 ? band_blocks : 1;
    bands.slots = BANDS_BESIDE_IN_FLIGHT + (BLOCKS_IN_FLIGHT + blocks - 1) / blocks;
    bands.done = [&stream, band_lines, height](int32_t band, Runner runner) {
        const int32_t first = band * band_lines;
        const int32_t lines = height - first < band_lines ? height - first : band_lines;
        if (lines > 0) stream.write_lines(first, lines, runner);
    };
    return bands;
}

int32_t rows_held(const BandTracking& bands, int32_t band_rows, int32_t rows) {
    return bands.slots * band_rows < rows ? bands.slots * band_rows : rows;
}

BlockWorker::BlockWorker(std::vector<ComponentPlane>& planes, const QuantTables& quant,
                         const TransformTables& transform, SimdPath simd, bool second_thread, BandTracking bands)
    : planes_(planes),
      quant_{block_quant(quant.tables[0]), block_quant(quant.tables[1]), block_quant(quant.tables[2]),
             block_quant(quant.tables[3])},
      transform_(transform),
      simd_(simd),
      scratch_{},
      bands_(std::move(bands)),
      stored_(static_cast<size_t>(bands_.slots)),
      last_batch_(static_cast<size_t>(bands_.slots), 0),
      pipeline_(BATCH_COUNT, second_thread, [this](Batch& batch, Runner runner) { run(batch, runner); }),
      filling_(&pipeline_.next()) {
    static_assert(BATCH_COUNT * BATCH_BLOCKS == BLOCKS_IN_FLIGHT);
}

void BlockWorker::prepare(int32_t plane, int32_t first, int32_t count) {
    if (pipeline_.pending() >= BATCH_COUNT / 2) {
        prepare_rows(planes_[static_cast<size_t>(plane)], first, count);
    } else {
        prepare_rows_ = count;
    }
}

void BlockWorker::add(const int32_t* coefficients, const BlockPlace& place) {
    AcBlock& ac = next_ac();
    for (int i = 0; i < BLOCK_SIZE; ++i) ac[i] = static_cast<int16_t>(coefficients[i]);
    add_next(coefficients[0], place);
}

void BlockWorker::add_next(int32_t dc, const BlockPlace& place) {
    Job& job = filling_->jobs[filling_->count++];
    job.dc = dc;
    job.place = place;
    job.prepare_rows = prepare_rows_;
    prepare_rows_ = 0;
    if (filling_->count == BATCH_BLOCKS) publish();
}

void BlockWorker::publish() {
    pipeline_.publish();
    filling_ = &pipeline_.next();
    filling_->count = 0;
}

void BlockWorker::start_band(int32_t band) {
    // The band before ended with the block added last.
    if (band > 0) last_batch_[static_cast<size_t>((band - 1) % bands_.slots)] = pipeline_.published();
    if (band < bands_.slots) return;
    const size_t slot = static_cast<size_t>(band % bands_.slots);
    // The band before in this slot may still be in the batch being filled.
    if (last_batch_[slot] == pipeline_.published()) publish();
    pipeline_.wait_through(last_batch_[slot]);
    stored_[slot].store(0, std::memory_order_relaxed);
}

// The blocks of a band stored by one run; the run that completes the band
// sees every sample the other runner stored for it.
void BlockWorker::count_stored(int32_t band, int32_t blocks, Runner runner) {
    if (band < 0 || blocks == 0) return;
    std::atomic<int32_t>& stored = stored_[static_cast<size_t>(band % bands_.slots)];
    if (stored.fetch_add(blocks, std::memory_order_acq_rel) + blocks == bands_.blocks) bands_.done(band, runner);
}

void BlockWorker::finish() {
    if (filling_->count > 0) pipeline_.publish();
    pipeline_.finish();
}

void BlockWorker::run(const Batch& batch, Runner runner) {
    Scratch& scratch = scratch_[runner == Runner::WORKER ? 1 : 0];
    int32_t band = -1;
    int32_t band_blocks = 0;
    for (size_t i = 0; i < batch.count; ++i) {
        const Job& job = batch.jobs[i];
        if (job.place.band != band) {
            count_stored(band, band_blocks, runner);
            band = job.place.band;
            band_blocks = 0;
        }
        ++band_blocks;
        ComponentPlane& plane = planes_[static_cast<size_t>(job.place.plane)];
        if (job.prepare_rows > 0) prepare_rows(plane, job.place.y0, job.prepare_rows);
        dequantize_block(quant_[static_cast<size_t>(job.place.Tq)], simd_, job.ac, job.dc, scratch.coefficients);
        idct_block(transform_, simd_, scratch.coefficients, scratch.samples);
        store_block(scratch.samples, plane, job.place.x0, job.place.y0);
    }
    count_stored(band, band_blocks, runner);
}
