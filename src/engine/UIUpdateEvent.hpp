#pragma once
// One display event: a state change, a value for the active progress bar, or
// a request to hide the window. Workers build one and append it to the queue
// of their UIUpdateManager; the manager applies it on the main thread.
#include "engine/LauncherState.hpp"

#include <optional>

namespace hexora {

struct UIUpdateEvent {
    static constexpr int StateChange = 0;
    static constexpr int ProgressValue = 1;
    static constexpr int HideWindow = 2;

    UIUpdateEvent(int eventType, std::optional<LauncherState> state, std::optional<double> progress)
        : eventType(eventType), state(state), progress(progress) {}

    /// eventType 0 with `state`.
    static UIUpdateEvent stateChange(LauncherState state) { return {StateChange, state, std::nullopt}; }
    /// eventType 1 with `value` (a percentage, 0 to 100).
    static UIUpdateEvent progressValue(double value) { return {ProgressValue, std::nullopt, value}; }
    /// eventType 2.
    static UIUpdateEvent hideWindow() { return {HideWindow, std::nullopt, std::nullopt}; }

    int eventType;
    std::optional<LauncherState> state;
    std::optional<double> progress;
};

}  // namespace hexora
