#include "engine/SimpleMessage.hpp"

namespace hexora {

SimpleMessage::SimpleMessage(std::string message, std::optional<std::string> additionalMessage)
    : message_(std::move(message)), additionalMessage_(std::move(additionalMessage)) {}

std::string SimpleMessage::getMessage() {
    std::lock_guard lock(mutex_);
    if (additionalMessage_ && !additionalMessage_->empty()) return message_ + *additionalMessage_;
    return message_;
}

std::string SimpleMessage::message() const {
    std::lock_guard lock(mutex_);
    return message_;
}

std::optional<std::string> SimpleMessage::additionalMessage() const {
    std::lock_guard lock(mutex_);
    return additionalMessage_;
}

void SimpleMessage::setAdditionalMessage(std::optional<std::string> additionalMessage) {
    std::lock_guard lock(mutex_);
    additionalMessage_ = std::move(additionalMessage);
}

}  // namespace hexora
