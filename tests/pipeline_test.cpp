// The hand-over of batches to the second thread: order, reuse of the ring,
// work taken back from a slow worker, and work abandoned half way.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "core/batch_pipeline.h"

namespace {

struct Numbered {
    int number = -1;
    int result = -1;
};

// Hands over `total` batches through a ring of `ring`, each run squaring its
// number, and returns the results in the order the batches came back.
std::vector<int> results_through(bool threaded, int total, size_t ring) {
    std::vector<int> seen;
    BatchPipeline<Numbered> pipeline(ring, threaded,
                                     [](Numbered& batch, Runner) { batch.result = batch.number * batch.number; });
    for (int n = 0; n < total; ++n) {
        Numbered& batch = pipeline.next();
        if (batch.number >= 0) seen.push_back(batch.result);
        batch.number = n;
        pipeline.publish();
    }
    pipeline.finish();
    const uint64_t published = pipeline.published();
    for (uint64_t n = published > ring ? published - ring : 0; n < published; ++n)
        seen.push_back(pipeline.batch(n).result);
    return seen;
}

TEST(BatchPipeline, EveryBatchIsRunOnceAndComesBackInOrder) {
    for (bool threaded : {true, false}) {
        for (int total : {0, 1, 3, 4, 5, 1000}) {
            std::vector<int> expected;
            for (int n = 0; n < total; ++n) expected.push_back(n * n);
            EXPECT_EQ(results_through(threaded, total, 4), expected) << threaded << " " << total;
        }
    }
}

TEST(BatchPipeline, TheFillingThreadRunsTheBatchesAStalledWorkerCannot) {
    // The worker stalls over batch 0, as one that loses its processor
    // would. The filling thread, needing batch 0's place for batch 4, must
    // run batches 1 to 3 itself meanwhile, not wait for the worker to get
    // to them.
    std::atomic<bool> worker_stalled{false};
    std::atomic<int> by_filler{0};
    int by_filler_during_the_stall = -1;
    std::vector<int> results(8, -1);
    {
        BatchPipeline<Numbered> pipeline(4, true, [&](Numbered& batch, Runner runner) {
            if (runner == Runner::WORKER && batch.number == 0) {
                worker_stalled.store(true);
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                by_filler_during_the_stall = by_filler.load();
            }
            if (runner == Runner::FILLER) ++by_filler;
            results[static_cast<size_t>(batch.number)] = batch.number;
        });
        for (int n = 0; n < 8; ++n) {
            pipeline.next().number = n;
            pipeline.publish();
            while (n == 0 && !worker_stalled.load()) std::this_thread::yield();
        }
        pipeline.finish();
    }
    for (int n = 0; n < 8; ++n) ASSERT_EQ(results[static_cast<size_t>(n)], n);
    EXPECT_EQ(by_filler_during_the_stall, 3);
}

TEST(BatchPipeline, AbandonedWorkStopsAfterABatchAlreadyBegun) {
    // The filler hands over a full ring of slow batches and gives up at
    // once, as a scan does that stops on bad data: the pipeline must end
    // without running the rest.
    std::atomic<int> runs{0};
    {
        BatchPipeline<Numbered> pipeline(8, true, [&](Numbered&, Runner) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ++runs;
        });
        for (int n = 0; n < 8; ++n) {
            pipeline.next();
            pipeline.publish();
        }
    }
    EXPECT_LT(runs.load(), 8);
}

}  // namespace
