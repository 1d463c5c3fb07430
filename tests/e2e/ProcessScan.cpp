#include "e2e/ProcessScan.hpp"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace hexora::e2e {
namespace {

// State letter and parent id from /proc/<pid>/stat; state 0 when gone.
std::pair<char, pid_t> statusOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return {0, 0};
    const auto close = line.rfind(')');
    if (close == std::string::npos || close + 4 > line.size()) return {0, 0};
    const char state = line[close + 2];
    const pid_t parent = static_cast<pid_t>(std::atol(line.c_str() + close + 4));
    return {state, parent};
}

std::vector<pid_t> allProcesses() {
    std::vector<pid_t> pids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const auto name = entry.path().filename().string();
        if (!name.empty() && std::all_of(name.begin(), name.end(), ::isdigit)) pids.push_back(std::stoi(name));
    }
    return pids;
}

}  // namespace

std::vector<pid_t> processesRunning(const std::filesystem::path& executable) {
    std::vector<pid_t> found;
    const auto wanted = executable.lexically_normal().string();
    for (const pid_t pid : allProcesses()) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).string();
        if (error) continue;
        if ((target == wanted || target == wanted + " (deleted)") && processAlive(pid)) found.push_back(pid);
    }
    return found;
}

std::vector<pid_t> processesBelow(const std::filesystem::path& folder) {
    std::vector<pid_t> found;
    const auto prefix = folder.lexically_normal().string() + "/";
    for (const pid_t pid : allProcesses()) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).string();
        if (!error && target.starts_with(prefix) && processAlive(pid)) found.push_back(pid);
    }
    return found;
}

bool processAlive(pid_t pid) {
    const auto state = statusOf(pid).first;
    return state != 0 && state != 'Z' && state != 'X';
}

void adoptOrphans() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

void reapEndedChildren(const std::vector<pid_t>& keep) {
    const pid_t self = ::getpid();
    for (const pid_t pid : allProcesses()) {
        const auto [state, parent] = statusOf(pid);
        if (parent != self || state != 'Z' || std::find(keep.begin(), keep.end(), pid) != keep.end()) continue;
        int status = 0;
        ::waitpid(pid, &status, WNOHANG);
    }
}

}  // namespace hexora::e2e
