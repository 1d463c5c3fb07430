#pragma once
// The animated text of a working state: m + "   ", m + ".  ", m + ".. ",
// m + "...", then again from the start; every variant has the same length.
//
// Thread: any thread may call any operation (the display calls getMessage()
// on the main thread); the fields are guarded by the instance's mutex.
#include "engine/IStateMessage.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace hexora {

class LoopLoadingMessage : public IStateMessage {
public:
    explicit LoopLoadingMessage(const std::string& message);

    /// Advances to the next variant and returns it.
    std::string getMessage() override;

    std::string current() const;
    const std::vector<std::string>& enumerator() const { return enumerator_; }
    /// Goes back to the state after construction (the next call gives the first variant).
    void restart();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> enumerator_;
    std::string current_;
};

}  // namespace hexora
