#include "engine/DisplayStates.hpp"

#include <array>

namespace hexora {
namespace {
using S = LauncherState;
using M = MessageKind;
using L = StateLook;
constexpr bool Final = true;
constexpr bool Animated = true;

constexpr std::array<DisplayState, 26> Rows{{
    {S::Initializing, M::LoopLoading, "Initializing", L::Working, false, Animated},
    {S::CheckApp, M::LoopLoading, "Check Status", L::Working, false, Animated},
    {S::ApiRequest, M::LoopLoading, "Check for updates", L::Working, false, Animated},
    {S::Downloading, M::LoopLoading, "Downloading update file", L::Progress, false, Animated},
    {S::DecompressFiles, M::LoopLoading, "Decompressing files", L::Progress, false, Animated},
    {S::ValidateFiles, M::LoopLoading, "Validating files", L::Progress, false, Animated},
    {S::PatchCompleted, M::Simple, "Update completed.\n\nThe app will run automatically.", L::Working, false, false},
    {S::LaunchApp, M::None, nullptr, L::Passive, false, false},
    {S::MinimizeApp, M::None, nullptr, L::Passive, false, false},
    {S::Failed, M::None, nullptr, L::Passive, false, false},
    {S::Failed_Api_Unavailable_Version, M::Simple,
     "Something went wrong.\r\nPlease remove Hexora, download and install Hexora\r\nto the latest version from "
     "Offcial Website.",
     L::Failure, Final, false},
    {S::Failed_Api, M::Simple, "Connection failed.\r\nPlease try again later.", L::Failure, Final, false},
    {S::Failed_Download, M::Simple, "Failed to download.\r\nPlease try again later.", L::Failure, Final, false},
    {S::Failed_DecompressFiles, M::Simple, "The process has failed.\r\nPlease try again later.", L::Failure, Final,
     false},
    {S::Failed_LoadScheme, M::Simple, "Failed to load scheme.\r\nPlase try again later.", L::Failure, Final, false},
    {S::Failed_ReplaceFile, M::Simple, "Failed to patch.\r\nPlease try again later.", L::Failure, Final, false},
    {S::Failed_Validation, M::Simple, "Failed to validation.\r\nPlease try again later.", L::Failure, Final, false},
    {S::Failed_Launching_Game, M::Simple, "Failed to launch game.\r\nPlease try again later.", L::Failure, Final,
     false},
    {S::ProcessFound, M::None, nullptr, L::Passive, false, false},
    {S::Found_Launcher, M::Simple,
     "Hexora Launcher is already running.\nPlease exit all programs and run this again.", L::Notice, Final, false},
    {S::Found_App, M::Simple, "Hexora is already running.\nPlease exit all programs and run this again", L::Notice,
     Final, false},
    {S::UnderMaintenance, M::Simple, "Now in maintenance, Please try again later.\r\n", L::Notice, false, false},
    {S::CaughException, M::Simple, "Failed to update.\r\nPlease try again later.", L::Failure, Final, false},
    {S::ReservedAppTerminating, M::Simple, "Hexora Launcher will be terminated.\r\nPlease wait.", L::Terminating,
     Final, false},
    {S::AppTerminating, M::Simple, "Hexora Launcher is terminating.\r\nPlease wait.", L::Terminating, false,
     Animated},
    {S::ProcessCompleted, M::None, nullptr, L::Completed, false, false},
}};

}  // namespace

std::span<const DisplayState> displayStates() { return Rows; }

const DisplayState& displayStateOf(LauncherState state) {
    for (const auto& row : Rows)
        if (row.state == state) return row;
    return Rows.front();  // unreachable: every LauncherState has a row
}

}  // namespace hexora
