#include "engine/LauncherState.hpp"

namespace hexora {

std::optional<LauncherState> launcherStateFromRawValue(int raw) {
    switch (static_cast<LauncherState>(raw)) {
    case LauncherState::Initializing:
    case LauncherState::CheckApp:
    case LauncherState::ApiRequest:
    case LauncherState::Downloading:
    case LauncherState::DecompressFiles:
    case LauncherState::ValidateFiles:
    case LauncherState::PatchCompleted:
    case LauncherState::LaunchApp:
    case LauncherState::MinimizeApp:
    case LauncherState::Failed:
    case LauncherState::Failed_Api_Unavailable_Version:
    case LauncherState::Failed_Api:
    case LauncherState::Failed_Download:
    case LauncherState::Failed_DecompressFiles:
    case LauncherState::Failed_LoadScheme:
    case LauncherState::Failed_ReplaceFile:
    case LauncherState::Failed_Validation:
    case LauncherState::Failed_Launching_Game:
    case LauncherState::ProcessFound:
    case LauncherState::Found_Launcher:
    case LauncherState::Found_App:
    case LauncherState::UnderMaintenance:
    case LauncherState::CaughException:
    case LauncherState::ReservedAppTerminating:
    case LauncherState::AppTerminating:
    case LauncherState::ProcessCompleted:
        return static_cast<LauncherState>(raw);
    }
    return std::nullopt;
}

}  // namespace hexora
