#include "workers/launcher/SelfRestart.hpp"

#include "services/internal/Integers.hpp"

#include <atomic>

namespace hexora::Worker::Launcher::SelfRestart {
namespace {
// 0: not started by a self-restart.
std::atomic<std::int32_t> previous{0};
}  // namespace

std::optional<std::int32_t> previousLauncherIn(const std::vector<std::string>& arguments) {
    if (arguments.size() != 2) return std::nullopt;
    const auto& text = arguments[1];
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const auto processIdentifier = parseInt32(text);
    if (!processIdentifier || *processIdentifier <= 0) return std::nullopt;
    return processIdentifier;
}

std::optional<std::int32_t> previousLauncher() {
    const auto value = previous.load();
    if (value <= 0) return std::nullopt;
    return value;
}

void setPreviousLauncher(std::optional<std::int32_t> processIdentifier) {
    previous.store(processIdentifier.value_or(0));
}

}  // namespace hexora::Worker::Launcher::SelfRestart
