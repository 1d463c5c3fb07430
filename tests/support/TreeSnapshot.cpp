#include "support/TreeSnapshot.hpp"

#include "support/TempDir.hpp"

#include <cstdio>

namespace hexora::test {
namespace fs = std::filesystem;

std::string fileEntry(const std::string& content, unsigned mode) {
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", mode & 07777u);
    return "file " + std::string(octal) + " " + content;
}

TreeSnapshot snapshotTree(const fs::path& root) {
    TreeSnapshot snapshot;
    std::error_code code;
    if (!fs::is_directory(fs::symlink_status(root, code))) return snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        const auto status = entry.symlink_status();
        if (fs::is_symlink(status)) {
            snapshot[name] = "link " + fs::read_symlink(entry.path()).string();
        } else if (fs::is_directory(status)) {
            snapshot[name] = "folder";
        } else {
            snapshot[name] = fileEntry(readFile(entry.path()), static_cast<unsigned>(status.permissions()));
        }
    }
    return snapshot;
}

TreeSnapshot withoutFolders(const TreeSnapshot& snapshot) {
    TreeSnapshot kept;
    for (const auto& [name, item] : snapshot)
        if (item != "folder") kept.emplace(name, item);
    return kept;
}

std::map<std::string, std::string> fileContents(const TreeSnapshot& snapshot) {
    // "file <mode> <content>": the content starts after the second space.
    std::map<std::string, std::string> contents;
    for (const auto& [name, item] : snapshot)
        if (item.rfind("file ", 0) == 0) contents.emplace(name, item.substr(item.find(' ', 5) + 1));
    return contents;
}

std::vector<std::string> pathsOf(const TreeSnapshot& snapshot) {
    std::vector<std::string> paths;
    for (const auto& [name, item] : snapshot) paths.push_back(name);
    return paths;
}

}  // namespace hexora::test
