#pragma once
// A fixed text with an optional second part that a worker may set while the
// display reads it (the maintenance window of the "UnderMaintenance" entry).
//
// Thread: any thread may call any operation; the fields are guarded by the
// instance's mutex.
#include "engine/IStateMessage.hpp"

#include <mutex>
#include <optional>
#include <string>

namespace hexora {

class SimpleMessage : public IStateMessage {
public:
    explicit SimpleMessage(std::string message, std::optional<std::string> additionalMessage = std::nullopt);

    /// `message`, followed by `additionalMessage` when that is present and not empty.
    std::string getMessage() override;

    std::string message() const;
    std::optional<std::string> additionalMessage() const;
    void setAdditionalMessage(std::optional<std::string> additionalMessage);

private:
    mutable std::mutex mutex_;
    std::string message_;
    std::optional<std::string> additionalMessage_;
};

}  // namespace hexora
