#include "engine/CancellationToken.hpp"

#include <stdexcept>

namespace hexora {

CancellationToken::CancellationToken(std::shared_ptr<CancellationTokenSource> source)
    : source_(std::move(source)) {
    if (!source_) throw std::invalid_argument("CancellationToken needs a source");
}

bool CancellationToken::isCancelled() const { return source_->isCancelled(); }

void CancellationToken::registerCallback(CancellationTokenSource::Callback callback) const {
    // registerCallback consumes the callback only when it stores it.
    auto kept = callback;
    if (!source_->registerCallback(std::move(callback)) && kept) kept();
}

}  // namespace hexora
