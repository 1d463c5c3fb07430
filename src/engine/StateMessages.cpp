#include "engine/StateMessages.hpp"

#include "engine/LoopLoadingMessage.hpp"

namespace hexora {
namespace {
StateMessages::Table build() {
    using S = LauncherState;
    auto loop = [](const char* text) -> std::shared_ptr<IStateMessage> {
        return std::make_shared<LoopLoadingMessage>(text);
    };
    auto simple = [](const char* text) -> std::shared_ptr<IStateMessage> {
        return std::make_shared<SimpleMessage>(text);
    };
    return {
        {S::Initializing, loop("Initializing")},
        {S::CheckApp, loop("Check Status")},
        {S::ApiRequest, loop("Check for updates")},
        {S::Downloading, loop("Downloading update file")},
        {S::DecompressFiles, loop("Decompressing files")},
        {S::ValidateFiles, loop("Validating files")},
        {S::PatchCompleted, simple("Update completed.\n\nThe app will run automatically.")},
        {S::Found_Launcher,
         simple("Hexora Launcher is already running.\nPlease exit all programs and run this again.")},
        {S::Found_App, simple("Hexora is already running.\nPlease exit all programs and run this again")},
        {S::Failed_Api, simple("Connection failed.\r\nPlease try again later.")},
        {S::Failed_Api_Unavailable_Version,
         simple("Something went wrong.\r\nPlease remove Hexora, download and install Hexora\r\nto the latest "
                "version from Offcial Website.")},
        {S::Failed_Download, simple("Failed to download.\r\nPlease try again later.")},
        {S::Failed_DecompressFiles, simple("The process has failed.\r\nPlease try again later.")},
        {S::Failed_LoadScheme, simple("Failed to load scheme.\r\nPlase try again later.")},
        {S::Failed_ReplaceFile, simple("Failed to patch.\r\nPlease try again later.")},
        {S::Failed_Validation, simple("Failed to validation.\r\nPlease try again later.")},
        {S::Failed_Launching_Game, simple("Failed to launch game.\r\nPlease try again later.")},
        {S::UnderMaintenance, simple("Now in maintenance, Please try again later.\r\n")},
        {S::CaughException, simple("Failed to update.\r\nPlease try again later.")},
        {S::AppTerminating, simple("Hexora Launcher is terminating.\r\nPlease wait.")},
        {S::ReservedAppTerminating, simple("Hexora Launcher will be terminated.\r\nPlease wait.")},
    };
}
}  // namespace

const StateMessages::Table& StateMessages::messages() {
    static const Table table = build();
    return table;
}

std::shared_ptr<SimpleMessage> StateMessages::underMaintenance() {
    return std::static_pointer_cast<SimpleMessage>(messages().at(LauncherState::UnderMaintenance));
}

void StateMessages::reset() {
    for (const auto& [state, entry] : messages()) {
        if (auto* loop = dynamic_cast<LoopLoadingMessage*>(entry.get())) loop->restart();
        if (auto* simple = dynamic_cast<SimpleMessage*>(entry.get())) simple->setAdditionalMessage(std::nullopt);
    }
}

}  // namespace hexora
