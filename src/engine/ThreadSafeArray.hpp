#pragma once
// The one shared queue type of the launcher: the worker queue of the worker
// thread, the display event queue of the UIUpdateManager and the job lists of
// the multi-file workers.
//
// Thread: any thread may call any operation. Every access is serialised by
// one mutex owned by the instance, held only for the push, pop or clear
// itself, so append() never waits for more than another short access.
// Operations take effect in the order in which they acquire the lock; a
// takeFirst() or removeAll() therefore sees every append() that returned
// before it was called. Nothing here throws except what copying or moving a
// T throws (std::bad_alloc on exhaustion).
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace hexora {

template <class T>
class ThreadSafeArray {
public:
    ThreadSafeArray() = default;
    ThreadSafeArray(const ThreadSafeArray&) = delete;
    ThreadSafeArray& operator=(const ThreadSafeArray&) = delete;

    /// Adds `element` at the end; returns at once.
    void append(T element) {
        std::lock_guard lock(mutex_);
        array_.push_back(std::move(element));
    }

    /// Removes and returns the first element; nullopt when the array is empty.
    std::optional<T> takeFirst() {
        std::lock_guard lock(mutex_);
        if (array_.empty()) return std::nullopt;
        std::optional<T> first(std::move(array_.front()));
        array_.pop_front();
        return first;
    }

    /// Drops every element appended so far.
    void removeAll() {
        std::deque<T> dropped;
        {
            std::lock_guard lock(mutex_);
            dropped.swap(array_);
        }
        // The elements are destroyed outside the lock: a destructor may append
        // to this same array (a worker holding its own thread) without deadlock.
    }

private:
    std::mutex mutex_;
    std::deque<T> array_;
};

}  // namespace hexora
