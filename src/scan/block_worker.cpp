#include "scan/block_worker.h"

#include "core/vectors.h"
#include "scan/transform.h"

namespace {

// Copies `sample_block` into `plane` at (x0, y0); samples that fall outside
// the plane (the overshoot of a last MCU column or row) are dropped.
void store_block(const DecoderState& state, ComponentPlane& plane, int32_t x0, int32_t y0) {
    if (plane.columns - x0 >= 8 && plane.rows - y0 >= 8) {
        // A whole block: its columns become the plane's lines four by four.
        for (int32_t xb = 0; xb < 8; xb += 4) {
            for (int32_t yb = 0; yb < 8; yb += 4) {
                Int4 lines[4];
                for (int32_t i = 0; i < 4; ++i) lines[i] = load_vector<Int4>(&state.sample_block[xb + i][yb]);
                transpose4(lines);
                for (int32_t j = 0; j < 4; ++j) store_vector(plane.row(y0 + yb + j) + x0 + xb, lines[j]);
            }
        }
        return;
    }
    const int32_t columns = plane.columns - x0 < 8 ? plane.columns - x0 : 8;
    for (int32_t y = 0; y < 8 && y0 + y < plane.rows; ++y) {
        int32_t* line = plane.row(y0 + y) + x0;
        for (int32_t x = 0; x < columns; ++x) line[x] = state.sample_block[x][y];
    }
}

}  // namespace

BlockWorker::BlockWorker(DecoderState& state)
    : state_(state),
      worker_stage_(std::make_unique<DecoderState>()),
      pipeline_(BATCH_COUNT, state.worker_thread, [this](Batch& batch, Runner runner) { run(batch, runner); }),
      filling_(&pipeline_.next()) {
    init_tables(*worker_stage_);
    worker_stage_->simd = state.simd;
    worker_stage_->quant_tables = state.quant_tables;
}

void BlockWorker::prepare(int32_t plane, int32_t first, int32_t count) {
    if (pipeline_.pending() >= BATCH_COUNT / 2) {
        prepare_rows(state_.planes[static_cast<size_t>(plane)], first, count);
    } else {
        prepare_rows_ = count;
    }
}

void BlockWorker::add(const BlockPlace& place) {
    Job& job = filling_->jobs[filling_->count++];
    for (int u = 0; u < 8; ++u)
        for (int v = 0; v < 8; ++v) job.ac[8 * u + v] = static_cast<int16_t>(state_.coef_block[u][v]);
    job.dc = state_.coef_block[0][0];
    job.place = place;
    job.prepare_rows = prepare_rows_;
    prepare_rows_ = 0;
    if (filling_->count == BATCH_BLOCKS) {
        pipeline_.publish();
        filling_ = &pipeline_.next();
        filling_->count = 0;
    }
}

void BlockWorker::finish() {
    if (filling_->count > 0) pipeline_.publish();
    pipeline_.finish();
}

void BlockWorker::run(const Batch& batch, Runner runner) {
    DecoderState& stage = runner == Runner::WORKER ? *worker_stage_ : state_;
    for (size_t i = 0; i < batch.count; ++i) {
        const Job& job = batch.jobs[i];
        ComponentPlane& plane = state_.planes[static_cast<size_t>(job.place.plane)];
        if (job.prepare_rows > 0) prepare_rows(plane, job.place.y0, job.prepare_rows);
        for (int u = 0; u < 8; ++u)
            for (int v = 0; v < 8; ++v) stage.coef_block[u][v] = job.ac[8 * u + v];
        stage.coef_block[0][0] = job.dc;
        dequantize_block(stage, job.place.Tq);
        idct_block(stage);
        store_block(stage, plane, job.place.x0, job.place.y0);
    }
}
