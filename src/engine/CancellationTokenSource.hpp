#pragma once
// Carries the user's request to stop a run. The worker thread creates one
// source per run; the application delegate cancels it; the worker loop and
// the long-running workers poll isCancelled().
//
// Thread: any thread may call any operation. The state of every source of the
// process is read and written under one process-wide lock, held only for the
// read, the swap or the insertion, never while callbacks run. Callbacks run on
// the thread that calls cancel(). Held by std::shared_ptr (tokens share it).
#include "engine/Bag.hpp"

#include <functional>
#include <optional>

namespace hexora {

class CancellationTokenSource {
public:
    using Callback = std::function<void()>;

    /// A source that is not cancelled and has no callbacks.
    CancellationTokenSource();
    CancellationTokenSource(const CancellationTokenSource&) = delete;
    CancellationTokenSource& operator=(const CancellationTokenSource&) = delete;

    /// True once cancel() has been called; then true for ever.
    bool isCancelled() const;

    /// Cancels the source and runs each registered callback exactly once, the
    /// last registered first. A second call does nothing. A callback that
    /// throws ends the remaining calls and the exception reaches the caller;
    /// the source stays cancelled.
    void cancel();

    /// Stores `callback` and reports true; on a cancelled source stores
    /// nothing and reports false. (The source's register; `register` itself
    /// is a C++ keyword.)
    bool registerCallback(Callback callback);

private:
    /// Absent means cancelled.
    std::optional<Bag<Callback>> _observers;
};

}  // namespace hexora
