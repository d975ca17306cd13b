// A second thread that runs batches of work in the order they are handed
// over, while the thread that hands them over goes on with the next. The
// batches are a fixed ring: one is filled, handed over, run, and comes back
// as the run left it, to be read and filled again.
//
// The run may not stop the program: only the thread that fills does, and
// the pipeline it unwinds (or the process it ends) takes the worker along.
#pragma once

#ifdef __linux__
#include <sched.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

template <typename Batch>
class BatchPipeline {
public:
    // `run` is called for each batch handed over: on the worker thread, or
    // on the caller's when the batch is handed over, without `threaded`,
    // where the process may use one processor only (two threads would take
    // turns on it, each waiting for the other) or where the system gives
    // no thread.
    BatchPipeline(size_t count, bool threaded, std::function<void(Batch&)> run)
        : batches_(count), run_(std::move(run)) {
        if (!threaded || usable_processors() < 2) return;
        try {
            thread_ = std::thread(&BatchPipeline::run_batches, this);
        } catch (const std::system_error&) {
            // No thread to be had: the batches are run in place.
        }
    }

    // Abandons the batches not yet run (work that stopped early).
    ~BatchPipeline() {
        if (!thread_.joinable()) return;
        abandoned_.store(true);
        signal();
        thread_.join();
    }

    BatchPipeline(const BatchPipeline&) = delete;
    BatchPipeline& operator=(const BatchPipeline&) = delete;

    // The batch to fill next, number published(), once the run of the
    // batch it held before (number published() - count) is done.
    Batch& next() {
        const uint64_t number = published_.load(std::memory_order_relaxed);
        await([&] { return number - completed_.load(std::memory_order_acquire) < batches_.size(); });
        return batch(number);
    }

    // Hands over the batch that next() gave.
    void publish() {
        const uint64_t number = published_.load(std::memory_order_relaxed);
        if (!thread_.joinable()) {
            run_(batch(number));
            completed_.store(number + 1, std::memory_order_relaxed);
        }
        published_.store(number + 1, std::memory_order_release);
        signal();
    }

    // Returns once every batch handed over has been run; the worker ends.
    void finish() {
        if (!thread_.joinable()) return;
        closing_.store(true);
        signal();
        thread_.join();
    }

    uint64_t published() const { return published_.load(std::memory_order_relaxed); }
    // Batches handed over and not yet run.
    uint64_t pending() const { return published() - completed_.load(std::memory_order_relaxed); }
    size_t count() const { return batches_.size(); }
    // Batch number n's place in the ring.
    Batch& batch(uint64_t n) { return batches_[n % batches_.size()]; }

private:
    // How long a side that waits for the other keeps looking before it
    // sleeps. The other side usually gets there within a batch, and
    // waiting for it on the processor is far quicker than being woken,
    // which on a virtual machine can take a few hundred microseconds.
    static constexpr std::chrono::microseconds SPIN_TIME{200};

    void run_batches() {
        for (uint64_t done = 0;; ++done) {
            await([&] {
                return abandoned_.load() || closing_.load() || done < published_.load(std::memory_order_acquire);
            });
            if (abandoned_.load() || done == published_.load(std::memory_order_acquire)) return;
            run_(batch(done));
            completed_.store(done + 1, std::memory_order_release);
            signal();
        }
    }

    template <typename Ready>
    void await(Ready ready) {
        const auto spin_until = std::chrono::steady_clock::now() + SPIN_TIME;
        for (int round = 1; !ready(); ++round) {
            if (round % 64 == 0 && std::chrono::steady_clock::now() > spin_until) {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, ready);
                return;
            }
            pause_processor();
        }
    }

    void signal() {
        // Taking the lock orders the change before a sleeper's last look
        // at it.
        { const std::lock_guard lock(mutex_); }
        changed_.notify_all();
    }

    static int usable_processors() {
#ifdef __linux__
        cpu_set_t set;
        if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
        return static_cast<int>(std::thread::hardware_concurrency());
    }

    // A hint to the processor that this is a wait loop.
    static void pause_processor() {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#elif defined(__aarch64__)
        __asm__ volatile("yield");
#endif
    }

    std::vector<Batch> batches_;
    std::function<void(Batch&)> run_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Batches handed over and batches run, counted from the start. Each
    // has a cache line of its own, as each is written by one side only.
    alignas(64) std::atomic<uint64_t> published_{0};
    alignas(64) std::atomic<uint64_t> completed_{0};
    std::atomic<bool> closing_{false};
    std::atomic<bool> abandoned_{false};
    std::thread thread_;
};
