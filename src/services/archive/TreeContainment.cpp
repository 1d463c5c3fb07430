#include "services/archive/TreeContainment.hpp"

#include <deque>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace hexora::Archive::TreeContainment {
namespace fs = std::filesystem;

namespace {

constexpr int MaxLinks = 40;

fs::path joined(const fs::path& root, const std::vector<std::string>& parts) {
    fs::path path = root;
    for (const auto& part : parts) path /= part;
    return path;
}

std::optional<std::string> linkTarget(const fs::path& path) {
    std::string target(4096, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) return std::nullopt;
    target.resize(static_cast<std::size_t>(length));
    return target;
}

// The parts of an absolute `target` below `root`, or nullopt when it lies elsewhere.
std::optional<std::vector<std::string>> partsBelow(const fs::path& root, const fs::path& target) {
    const fs::path normal = target.lexically_normal();
    auto rootIt = root.begin();
    auto it = normal.begin();
    for (; rootIt != root.end(); ++rootIt, ++it) {
        if (rootIt->empty()) continue;
        if (it == normal.end() || *it != *rootIt) return std::nullopt;
    }
    std::vector<std::string> parts;
    for (; it != normal.end(); ++it)
        if (!it->empty()) parts.push_back(it->string());
    return parts;
}

}  // namespace

bool resolvesInside(const fs::path& root, const fs::path& relative) {
    std::vector<std::string> resolved;
    std::deque<std::string> pending;
    for (const auto& part : relative) pending.push_back(part.string());
    int links = 0;
    while (!pending.empty()) {
        const std::string part = pending.front();
        pending.pop_front();
        if (part.empty() || part == "." || part == "/") continue;
        if (part == "..") {
            if (resolved.empty()) return false;
            resolved.pop_back();
            continue;
        }
        resolved.push_back(part);
        const fs::path path = joined(root, resolved);
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) continue;
        if (++links > MaxLinks) return false;
        const auto target = linkTarget(path);
        if (!target || target->empty()) return false;
        resolved.pop_back();
        std::vector<std::string> parts;
        if (target->front() == '/') {
            auto below = partsBelow(root, *target);
            if (!below) return false;
            resolved.clear();
            parts = std::move(*below);
        } else {
            for (const auto& each : fs::path(*target)) parts.push_back(each.string());
        }
        pending.insert(pending.begin(), parts.begin(), parts.end());
    }
    return true;
}

}  // namespace hexora::Archive::TreeContainment
