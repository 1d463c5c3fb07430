#pragma once
// What the window shows: the display state that workers post and the
// UIUpdateManager applies. The raw values are fixed; equality and hashing go
// by them.
#include <optional>

namespace hexora {

enum class LauncherState : int {
    Initializing = 0,
    CheckApp = 1,
    ApiRequest = 2,
    Downloading = 3,
    DecompressFiles = 4,
    ValidateFiles = 5,
    PatchCompleted = 6,
    LaunchApp = 7,
    MinimizeApp = 8,
    Failed = 100,
    Failed_Api_Unavailable_Version = 101,
    Failed_Api = 102,
    Failed_Download = 103,
    Failed_DecompressFiles = 104,
    Failed_LoadScheme = 105,
    Failed_ReplaceFile = 106,
    Failed_Validation = 107,
    Failed_Launching_Game = 108,
    ProcessFound = 200,
    Found_Launcher = 201,
    Found_App = 202,
    UnderMaintenance = 300,
    CaughException = 1000,
    ReservedAppTerminating = 9000,
    AppTerminating = 9001,
    ProcessCompleted = 9999,
};

/// The state with raw value `raw`; nullopt for any other integer.
std::optional<LauncherState> launcherStateFromRawValue(int raw);

constexpr int rawValue(LauncherState state) { return static_cast<int>(state); }

}  // namespace hexora
