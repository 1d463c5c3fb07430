#include "services/internal/Process.hpp"

#include "platform/ProcessTable.hpp"
#include "services/internal/FileURL.hpp"
#include "services/internal/Log.hpp"

namespace hexora::Process {
namespace {

constexpr std::string_view FileScheme = "file://";

template <typename Match>
std::optional<RunningApplication> firstRunning(Match&& match) {
    auto table = platform::ProcessTable::current();
    const auto own = table->ownProcessIdentifier();
    for (auto& entry : table->runningProcesses()) {
        if (entry.processIdentifier == own || !match(entry)) continue;
        return RunningApplication(std::move(entry), table);
    }
    return std::nullopt;
}

// The forms under which the executable named by `expected` (a "file://" text)
// is recognised: the text itself, and the path behind the scheme, lexically
// normalised and with symbolic links resolved as far as it exists.
struct ExecutableMatcher {
    explicit ExecutableMatcher(std::string expectedText) : text(std::move(expectedText)) {
        const std::filesystem::path path(text.substr(FileScheme.size()));
        if (path.empty()) return;
        normal = path.lexically_normal();
        std::error_code error;
        auto resolved = std::filesystem::weakly_canonical(path, error);
        if (!error) canonical = resolved.lexically_normal();
    }

    bool operator()(const std::filesystem::path& executable) const {
        const auto executableNormal = executable.lexically_normal();
        if (std::string(FileScheme) + executable.string() == text) return true;
        if (fileURLText(executable) == text) return true;
        if (!normal.empty() && executableNormal == normal) return true;
        return !canonical.empty() && executableNormal == canonical;
    }

    std::string text;
    std::filesystem::path normal;
    std::filesystem::path canonical;
};

}  // namespace

std::int32_t start(const std::string& path, const std::vector<std::string>& arguments,
                   const std::string& workingDirectory, TerminationHandler terminationHandler) {
    const auto result = platform::ProcessLauncher::current()->launch(path, arguments, workingDirectory,
                                                                     std::move(terminationHandler));
    if (result.processIdentifier <= 0) {
        Log::error("Process start failed: " + result.error);
        return 0;
    }
    if (!result.running) return 0;
    Log::info("Process started: " + std::to_string(result.processIdentifier));
    return result.processIdentifier;
}

std::optional<RunningApplication> runningApplication(std::int32_t processIdentifier) {
    auto table = platform::ProcessTable::current();
    if (processIdentifier == table->ownProcessIdentifier()) return std::nullopt;
    auto entry = table->runningProcess(processIdentifier);
    if (!entry) return std::nullopt;
    return RunningApplication(std::move(*entry), table);
}

std::optional<RunningApplication> runningApplications(const BundleIdentifier& bundleIdentifier) {
    return firstRunning([&](const platform::ProcessEntry& entry) {
        return entry.bundleIdentifier && *entry.bundleIdentifier == bundleIdentifier.value;
    });
}

std::optional<RunningApplication> runningApplications(const ExecutableURL& executableURL) {
    const auto& given = executableURL.value;
    const ExecutableMatcher matches(given.starts_with(FileScheme) ? given : std::string(FileScheme) + given);
    return firstRunning([&](const platform::ProcessEntry& entry) {
        return entry.executablePath && matches(*entry.executablePath);
    });
}

bool showOnTop(const std::string& bundleIdentifier, std::int32_t processIdentifier) {
    auto table = platform::ProcessTable::current();
    for (const auto& entry : table->runningProcesses()) {
        const bool byBundle = entry.bundleIdentifier && *entry.bundleIdentifier == bundleIdentifier;
        if (!byBundle && entry.processIdentifier != processIdentifier) continue;
        table->activate(entry);
        return true;
    }
    return false;
}

std::int32_t ownProcessIdentifier() { return platform::ProcessTable::current()->ownProcessIdentifier(); }

}  // namespace hexora::Process
