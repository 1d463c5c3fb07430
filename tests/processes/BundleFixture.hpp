#pragma once
// Application bundles for process tests: a copy of a system program laid out
// as `<folder>/<Name>.app/Contents/MacOS/<Name>` with an Info.plist.
#include "support/Eventually.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace hexora::test {

/// Writes an XML property list holding the given text entries.
void writePlist(const std::filesystem::path& path, const std::vector<std::pair<std::string, std::string>>& entries,
                bool binary = false);

/// Lays out a bundle whose executable is a copy of `program`; returns the
/// executable's path. An empty `bundleIdentifier` writes no identifier.
std::filesystem::path layOutBundle(const std::filesystem::path& folder, const std::string& name,
                                   const std::string& bundleIdentifier,
                                   const std::filesystem::path& program = "/bin/sleep");


}  // namespace hexora::test
