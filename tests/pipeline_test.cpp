// The hand-over of batches to the second thread: order, reuse of the ring,
// work taken back from a slow worker, and work abandoned half way. The
// threads are held where a test needs them by gates the test opens itself.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/batch_pipeline.h"
#include "system/system.h"

namespace {

// Closed until opened; wait() returns once it is open.
class Gate {
public:
    void open() {
        {
            const std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

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
    // The worker, woken once the first WAKE_BATCHES (4) are handed over,
    // stalls over batch 0, as one that loses its processor would, until
    // the filling thread has run batch 3. Needing batch 0's place for
    // batch 4, the filling thread must run batches 1 to 3 itself
    // meanwhile, not wait for the worker to get to them.
    if (usable_processors() < 2) GTEST_SKIP() << "no second thread with one processor";
    Gate worker_took_batch_0, filler_ran_batch_3;
    std::atomic<int> by_filler{0};
    int by_filler_during_the_stall = -1;
    std::vector<int> results(8, -1);
    {
        BatchPipeline<Numbered> pipeline(4, true, [&](Numbered& batch, Runner runner) {
            if (runner == Runner::WORKER && batch.number == 0) {
                worker_took_batch_0.open();
                filler_ran_batch_3.wait();
                by_filler_during_the_stall = by_filler.load();
            }
            if (runner == Runner::FILLER) ++by_filler;
            results[static_cast<size_t>(batch.number)] = batch.number;
            if (runner == Runner::FILLER && batch.number == 3) filler_ran_batch_3.open();
        });
        for (int n = 0; n < 8; ++n) {
            pipeline.next().number = n;
            pipeline.publish();
            if (n == BatchPipeline<Numbered>::WAKE_BATCHES - 1) worker_took_batch_0.wait();
        }
        pipeline.finish();
    }
    for (int n = 0; n < 8; ++n) ASSERT_EQ(results[static_cast<size_t>(n)], n);
    EXPECT_EQ(by_filler_during_the_stall, 3);
}

TEST(BatchPipeline, AWorkerWakesForAFullRingSmallerThanItsWakeUpCount) {
    // Two batches can never be four waiting: a ring of two wakes the worker
    // once both are handed over. The filler waits at a gate meanwhile, so
    // only the worker can run them; it runs a first pair, is given time to
    // fall asleep, and must be woken for the second.
    if (usable_processors() < 2) GTEST_SKIP() << "no second thread with one processor";
    static_assert(BatchPipeline<Numbered>::WAKE_BATCHES > 2);
    Gate worker_ran_batch_1, worker_ran_batch_3;
    {
        BatchPipeline<Numbered> pipeline(2, true, [&](Numbered& batch, Runner runner) {
            if (runner != Runner::WORKER) return;
            if (batch.number == 1) worker_ran_batch_1.open();
            if (batch.number == 3) worker_ran_batch_3.open();
        });
        for (int n = 0; n < 4; ++n) {
            pipeline.next().number = n;
            pipeline.publish();
            if (n == 1) {
                worker_ran_batch_1.wait();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        worker_ran_batch_3.wait();
        pipeline.finish();
    }
}

TEST(BatchPipeline, AbandonedWorkStopsAfterABatchAlreadyBegun) {
    // The filler hands over a full ring of batches and gives up while the
    // worker is inside the first, as a scan does that stops on bad data:
    // the worker ends that batch and runs none of the others.
    if (usable_processors() < 2) GTEST_SKIP() << "no second thread with one processor";
    Gate worker_began, abandoned;
    std::atomic<int> runs{0};
    {
        BatchPipeline<Numbered> pipeline(8, true, [&](Numbered&, Runner) {
            worker_began.open();
            abandoned.wait();
            ++runs;
        });
        for (int n = 0; n < 8; ++n) {
            pipeline.next();
            pipeline.publish();
        }
        worker_began.wait();
        pipeline.abandon();
        abandoned.open();
    }
    EXPECT_EQ(runs.load(), 1);
}

}  // namespace
