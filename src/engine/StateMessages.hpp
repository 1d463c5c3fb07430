#pragma once
// The process-wide table from display state to its text object. The entries
// are shared: the display advances the animation of the working states, and
// the maintenance check sets the second line of the "UnderMaintenance" entry
// (SimpleMessage::setAdditionalMessage, safe from any thread).
//
// Thread: messages() may be called from any thread; the table is built once,
// on first use, and never changes shape afterwards.
#include "engine/IStateMessage.hpp"
#include "engine/LauncherState.hpp"
#include "engine/SimpleMessage.hpp"

#include <memory>
#include <unordered_map>

namespace hexora {

class StateMessages {
public:
    using Table = std::unordered_map<LauncherState, std::shared_ptr<IStateMessage>>;

    /// The 21 entries; LaunchApp, MinimizeApp, Failed, ProcessFound and
    /// ProcessCompleted have none.
    static const Table& messages();

    /// The "UnderMaintenance" entry, for the maintenance check.
    static std::shared_ptr<SimpleMessage> underMaintenance();

    /// Puts every entry back as built (animations restarted, no additional
    /// message). For tests, between runs.
    static void reset();
};

}  // namespace hexora
