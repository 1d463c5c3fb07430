#include "support/FakeProcessTable.hpp"

#include "platform/ProcProcessTable.hpp"

namespace hexora::test {

platform::ProcessEntry FakeProcessTable::add(std::int32_t pid, std::optional<std::string> bundleIdentifier,
                                             std::optional<std::filesystem::path> executable) {
    platform::ProcessEntry entry;
    entry.processIdentifier = pid;
    entry.bundleIdentifier = std::move(bundleIdentifier);
    entry.executablePath = std::move(executable);
    if (entry.executablePath) entry.bundlePath = platform::ProcProcessTable::bundleOfExecutable(*entry.executablePath);
    std::lock_guard lock(mutex_);
    entries_.push_back(entry);
    ended_.erase(pid);
    return entry;
}

void FakeProcessTable::end(std::int32_t pid) {
    std::lock_guard lock(mutex_);
    ended_.insert(pid);
}

std::vector<std::int32_t> FakeProcessTable::activated() const {
    std::lock_guard lock(mutex_);
    return activated_;
}

int FakeProcessTable::listings() const {
    std::lock_guard lock(mutex_);
    return listings_;
}

std::vector<platform::ProcessEntry> FakeProcessTable::runningProcesses() {
    std::lock_guard lock(mutex_);
    ++listings_;
    std::vector<platform::ProcessEntry> running;
    for (const auto& entry : entries_) {
        if (!ended_.count(entry.processIdentifier)) running.push_back(entry);
    }
    return running;
}

std::optional<platform::ProcessEntry> FakeProcessTable::runningProcess(std::int32_t processIdentifier) {
    std::lock_guard lock(mutex_);
    ++listings_;
    for (const auto& entry : entries_) {
        if (entry.processIdentifier == processIdentifier && !ended_.count(processIdentifier)) return entry;
    }
    return std::nullopt;
}

bool FakeProcessTable::isTerminated(const platform::ProcessEntry& entry) {
    std::lock_guard lock(mutex_);
    return ended_.count(entry.processIdentifier) > 0;
}

bool FakeProcessTable::activate(const platform::ProcessEntry& entry) {
    std::lock_guard lock(mutex_);
    activated_.push_back(entry.processIdentifier);
    return true;
}

}  // namespace hexora::test
