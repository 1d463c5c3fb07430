#include "engine/LauncherState.hpp"

#include "engine/DisplayStates.hpp"

namespace hexora {

std::optional<LauncherState> launcherStateFromRawValue(int raw) {
    for (const auto& row : displayStates())
        if (rawValue(row.state) == raw) return row.state;
    return std::nullopt;
}

}  // namespace hexora
