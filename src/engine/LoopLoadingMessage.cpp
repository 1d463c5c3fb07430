#include "engine/LoopLoadingMessage.hpp"

#include <algorithm>

namespace hexora {

LoopLoadingMessage::LoopLoadingMessage(const std::string& message)
    : enumerator_{message + "   ", message + ".  ", message + ".. ", message + "..."},
      current_(enumerator_.back()) {}

std::string LoopLoadingMessage::getMessage() {
    std::lock_guard lock(mutex_);
    auto found = std::find(enumerator_.begin(), enumerator_.end(), current_);
    auto next = (found == enumerator_.end() || found + 1 == enumerator_.end()) ? enumerator_.begin() : found + 1;
    current_ = *next;
    return current_;
}

std::string LoopLoadingMessage::current() const {
    std::lock_guard lock(mutex_);
    return current_;
}

void LoopLoadingMessage::restart() {
    std::lock_guard lock(mutex_);
    current_ = enumerator_.back();
}

}  // namespace hexora
