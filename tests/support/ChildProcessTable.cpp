#include "support/ChildProcessTable.hpp"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace hexora::test {
namespace {

// The parent's id from /proc/<pid>/stat ("pid (comm) state ppid ..."); 0 when unreadable.
std::int32_t parentOf(std::int32_t processIdentifier) {
    std::ifstream in("/proc/" + std::to_string(processIdentifier) + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    std::int32_t parent = 0;
    rest >> state >> parent;
    return parent;
}

}  // namespace

bool ChildProcessTable::isOurs(std::int32_t processIdentifier) {
    const auto own = static_cast<std::int32_t>(::getpid());
    return processIdentifier == own || parentOf(processIdentifier) == own;
}

std::vector<platform::ProcessEntry> ChildProcessTable::runningProcesses() {
    std::vector<platform::ProcessEntry> ours;
    for (auto& entry : real_.runningProcesses()) {
        if (isOurs(entry.processIdentifier)) ours.push_back(std::move(entry));
    }
    return ours;
}

std::optional<platform::ProcessEntry> ChildProcessTable::runningProcess(std::int32_t processIdentifier) {
    auto entry = real_.runningProcess(processIdentifier);
    if (!entry || !isOurs(processIdentifier)) return std::nullopt;
    return entry;
}

}  // namespace hexora::test
