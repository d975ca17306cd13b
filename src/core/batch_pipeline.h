// Batches of work shared by two threads: the one that fills and hands them
// over, and a worker that runs them while the first goes on with the next.
// The batches are a fixed ring: one is filled, handed over, run, and comes
// back as the run left it, to be read and filled again.
//
// A batch handed over is run by whichever thread takes it first: the
// worker once it is awake (out of work, it sleeps until a few batches wait
// for it), the filling thread whenever it would otherwise wait. Where the
// worker gets less of a processor (another program runs on it), the
// filling thread does more of the work, and it never waits for a thread
// that is not running.
//
// The run may not stop the decode: only the thread that fills does, and
// the pipeline it unwinds on the way out takes the worker along.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "system/system.h"

// The two threads that run batches; each has scratch state of its own.
enum class Runner { FILLER, WORKER };

template <typename Batch>
class BatchPipeline {
public:
    // Batches handed over before a sleeping worker is woken: one wake-up, a
    // system call on the filler's thread, for four batches instead of
    // each. A 17.9-megapixel photo, whose worker keeps running out of work:
    // 0.188 -> 0.178 s on two processors, 0.274 -> 0.262 s of processor
    // time (medians of 15 runs); 2 and 8 gave the same within the noise.
    static constexpr uint64_t WAKE_BATCHES = 4;

    // Runs batches on the caller's thread alone without `threaded`, where
    // the process may use one processor only (two threads would take turns
    // on it, each waiting for the other) or where the system gives no
    // thread: each batch as it is handed over.
    BatchPipeline(size_t count, bool threaded, std::function<void(Batch&, Runner)> run)
        : batches_(count), done_(count), wake_at_(count < WAKE_BATCHES ? count : WAKE_BATCHES), run_(std::move(run)) {
        if (!threaded || usable_processors() < 2) return;
        try {
            thread_ = std::thread(&BatchPipeline::run_batches, this);
        } catch (const std::system_error&) {
            // No thread to be had: the batches are run in place.
        }
    }

    // Abandons the batches not yet taken (work that stopped early).
    ~BatchPipeline() {
        if (!thread_.joinable()) return;
        abandon();
        thread_.join();
    }

    BatchPipeline(const BatchPipeline&) = delete;
    BatchPipeline& operator=(const BatchPipeline&) = delete;

    // The batch to fill next, number published(), once the batch it held
    // before (number published() - count) has been run.
    Batch& next() {
        const uint64_t number = published();
        if (number >= count()) wait_for(number - count());
        return batch(number);
    }

    // Hands over the batch that next() gave.
    void publish() {
        published_.store(published() + 1, std::memory_order_seq_cst);
        if (!thread_.joinable()) {
            run_one(Runner::FILLER);
            return;
        }
        if (idle_.load(std::memory_order_seq_cst) && pending() >= wake_at_) signal();
    }

    // Returns once batch n and every one before it have been run, running
    // the batches not yet taken meanwhile. Batch n must be handed over.
    void wait_through(uint64_t n) {
        for (uint64_t k = n + 1 > count() ? n + 1 - count() : 0; k <= n; ++k) wait_for(k);
    }

    // Returns once every batch handed over has been run; the worker ends.
    void finish() {
        if (published() > 0) wait_through(published() - 1);
        if (!thread_.joinable()) return;
        closing_.store(true);
        signal();
        thread_.join();
    }

    // The worker runs no batch after the one it is running, if any.
    void abandon() {
        abandoned_.store(true);
        signal();
    }

    uint64_t published() const { return published_.load(std::memory_order_relaxed); }
    // Batches handed over and not yet taken.
    uint64_t pending() const { return published() - taken_.load(std::memory_order_relaxed); }
    size_t count() const { return batches_.size(); }
    // Batch number n's place in the ring.
    Batch& batch(uint64_t n) { return batches_[n % batches_.size()]; }

private:
    // Returns once batch n, handed over and still in the ring, has been
    // run, running the batches not yet taken meanwhile.
    void wait_for(uint64_t n) {
        while (!is_done(n)) {
            if (!run_one(Runner::FILLER)) await([&] { return is_done(n); });
        }
    }

    bool is_done(uint64_t n) const { return done_[n % done_.size()].load(std::memory_order_acquire) > n; }

    // Takes the oldest batch not yet taken and runs it; false when there
    // is none.
    bool run_one(Runner runner) {
        uint64_t n = taken_.load(std::memory_order_relaxed);
        do {
            if (n >= published_.load(std::memory_order_acquire)) return false;
        } while (!taken_.compare_exchange_weak(n, n + 1, std::memory_order_relaxed));
        run_(batch(n), runner);
        done_[n % done_.size()].store(n + 1, std::memory_order_release);
        if (runner == Runner::WORKER) signal();
        return true;
    }

    void run_batches() {
        // The worker's only exit: abandoned, or closing with nothing left to
        // take. A batch it has taken is always run to its end and marked
        // done, so that finish() and next() never wait for a batch that no
        // thread will run.
        for (;;) {
            if (abandoned_.load()) return;
            if (run_one(Runner::WORKER)) continue;
            if (closing_.load()) return;
            // Out of work, the worker sleeps until WAKE_BATCHES (or a full
            // ring) are handed over: the filler, which wakes it, does so once
            // for them all. Fewer never wait on it: the filler runs them
            // itself before it waits for any of them, and finish() and
            // abandon() wake it.
            idle_.store(true, std::memory_order_seq_cst);
            await([&] { return abandoned_.load() || closing_.load() || pending() >= wake_at_; });
            idle_.store(false, std::memory_order_relaxed);
        }
    }

    // Sleeps until `ready()`: a wait on the processor would take it from
    // the thread it waits for whenever the two have to share one.
    template <typename Ready>
    void await(Ready ready) {
        if (ready()) return;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, ready);
    }

    void signal() {
        // Taking the lock orders the change before a sleeper's last look
        // at it.
        { const std::lock_guard lock(mutex_); }
        changed_.notify_all();
    }

    std::vector<Batch> batches_;
    // done_[n % count] > n once batch n has been run.
    std::vector<std::atomic<uint64_t>> done_;
    const uint64_t wake_at_;
    std::function<void(Batch&, Runner)> run_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Batches handed over, and batches taken to be run, counted from the
    // start; each on a cache line of its own.
    alignas(64) std::atomic<uint64_t> published_{0};
    alignas(64) std::atomic<uint64_t> taken_{0};
    std::atomic<bool> idle_{false};
    std::atomic<bool> closing_{false};
    std::atomic<bool> abandoned_{false};
    std::thread thread_;
};
