#include "support/ChildProcess.hpp"

#include "platform/PosixProcessLauncher.hpp"

#include <plist/plist.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace hexora::test {

ChildProcess::ChildProcess(const std::filesystem::path& executable, const std::vector<std::string>& arguments) {
    std::error_code error;
    const auto folder = std::filesystem::current_path(error);
    auto state = state_;
    const auto result = platform::PosixProcessLauncher().launch(executable, arguments, folder,
                                                                [state](const platform::ProcessExit&) {
                                                                    std::lock_guard lock(state->mutex);
                                                                    state->done = true;
                                                                    state->exited.notify_all();
                                                                });
    if (result.processIdentifier <= 0) {
        throw std::runtime_error("cannot start " + executable.string() + ": " + result.error);
    }
    pid_ = result.processIdentifier;
}

ChildProcess::~ChildProcess() {
    if (!hasExited()) ::kill(pid_, SIGKILL);
    waitForExit();
}

void ChildProcess::terminate() const { ::kill(pid_, SIGTERM); }

bool ChildProcess::hasExited() const {
    std::lock_guard lock(state_->mutex);
    return state_->done;
}

bool ChildProcess::waitForExit(double seconds) const {
    std::unique_lock lock(state_->mutex);
    return state_->exited.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return state_->done; });
}

std::filesystem::path developerHubExecutable() {
    return std::filesystem::path(HEXORA_TOOLS_BIN_DIR) / "standin-app/DeveloperHub.app/Contents/MacOS/DeveloperHub";
}

std::filesystem::path launcherStandInExecutable() {
    return std::filesystem::path(HEXORA_TOOLS_BIN_DIR) / "standin-app/HexoraLauncher.app/Contents/MacOS/Hexora";
}

std::filesystem::path layOutStandIn(const std::filesystem::path& folder, const std::string& name,
                                    const std::string& executableName, const std::string& bundleIdentifier) {
    const auto contents = folder / (name + ".app") / "Contents";
    std::filesystem::create_directories(contents / "MacOS");
    const auto executable = contents / "MacOS" / executableName;
    std::filesystem::copy_file(developerHubExecutable(), executable,
                               std::filesystem::copy_options::overwrite_existing);
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "CFBundleExecutable", plist_new_string(executableName.c_str()));
    if (!bundleIdentifier.empty()) {
        plist_dict_set_item(dict, "CFBundleIdentifier", plist_new_string(bundleIdentifier.c_str()));
    }
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(dict, &xml, &length);
    std::ofstream(contents / "Info.plist", std::ios::binary | std::ios::trunc).write(xml, length);
    std::free(xml);
    plist_free(dict);
    return executable;
}

}  // namespace hexora::test
