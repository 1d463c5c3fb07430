#include "services/internal/RunningApplication.hpp"

#include "services/internal/FileURL.hpp"

namespace hexora {

RunningApplication::RunningApplication(platform::ProcessEntry entry, std::shared_ptr<platform::ProcessTable> table)
    : entry_(std::move(entry)), table_(std::move(table)) {}

std::optional<std::string> RunningApplication::executableURL() const {
    if (!entry_.executablePath) return std::nullopt;
    return fileURLText(*entry_.executablePath);
}

std::optional<std::string> RunningApplication::bundleURL() const {
    if (!entry_.bundlePath) return std::nullopt;
    return fileURLText(*entry_.bundlePath, true);
}

bool RunningApplication::isTerminated() const { return table_->isTerminated(entry_); }

bool RunningApplication::activate() const { return table_->activate(entry_); }

}  // namespace hexora
