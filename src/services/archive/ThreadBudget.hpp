#pragma once
// A count of threads allowed to extract at the same time, shared by every
// extraction of one run (all packages of a CUnzip), so that however many
// packages run, no more than `limit` threads extract at once.
//
// Thread: every operation may be called from any thread.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

namespace hexora::Archive {

class ThreadBudget {
public:
    /// At least one slot.
    explicit ThreadBudget(std::size_t limit);
    ThreadBudget(const ThreadBudget&) = delete;
    ThreadBudget& operator=(const ThreadBudget&) = delete;

    std::size_t limit() const { return limit_; }

    /// Waits for a free slot and takes it; gives up (false) as soon as
    /// `cancelled()` holds, looked at every 10 ms while waiting.
    bool acquire(const std::function<bool()>& cancelled);
    /// Takes a slot only when one is free now.
    bool tryAcquire();
    /// Gives back a slot taken by acquire() or tryAcquire().
    void release();

private:
    const std::size_t limit_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::size_t used_ = 0;
};

}  // namespace hexora::Archive
