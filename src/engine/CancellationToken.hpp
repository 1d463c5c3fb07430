#pragma once
// A read-only view of a CancellationTokenSource, handed to code that must
// notice cancellation but may not cancel.
//
// Thread: any; see CancellationTokenSource.
#include "engine/CancellationTokenSource.hpp"

#include <memory>

namespace hexora {

class CancellationToken {
public:
    /// `source` must not be null.
    explicit CancellationToken(std::shared_ptr<CancellationTokenSource> source);

    bool isCancelled() const;

    /// Registers `callback` with the source; when the source is cancelled
    /// already, calls it at once on the calling thread instead. (The token's
    /// register; `register` itself is a C++ keyword.)
    void registerCallback(CancellationTokenSource::Callback callback) const;

    const std::shared_ptr<CancellationTokenSource>& source() const { return source_; }

private:
    std::shared_ptr<CancellationTokenSource> source_;
};

}  // namespace hexora
