#pragma once
// What a folder holds, byte for byte: each item below it by relative path,
// described as "file <mode> <content>", "link <target>" or "folder". Two
// snapshots are equal exactly when the trees hold the same items with the
// same contents, permissions and link targets.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace hexora::test {

using TreeSnapshot = std::map<std::string, std::string>;

/// The snapshot of everything below `root` (empty when `root` is missing).
TreeSnapshot snapshotTree(const std::filesystem::path& root);

/// The snapshot description of a file with `content` and permissions `mode`.
std::string fileEntry(const std::string& content, unsigned mode = 0644);

/// The files and links of `snapshot`, without its folders.
TreeSnapshot withoutFolders(const TreeSnapshot& snapshot);

/// The content of each file of `snapshot` by path (links and folders left out).
std::map<std::string, std::string> fileContents(const TreeSnapshot& snapshot);

/// The paths of `snapshot`, in order.
std::vector<std::string> pathsOf(const TreeSnapshot& snapshot);

}  // namespace hexora::test
