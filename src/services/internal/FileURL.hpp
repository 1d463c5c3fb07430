#pragma once
// The absolute text of a file URL, as the launcher reports it in telemetry:
// "file://" followed by the path with every byte outside the unreserved set,
// "/" and the sub-delimiters percent-encoded (a blank becomes "%20").
// Thread: any. Pure.
#include <filesystem>
#include <string>

namespace hexora {

/// `isDirectory` adds the trailing "/" that folder URLs carry.
std::string fileURLText(const std::filesystem::path& path, bool isDirectory = false);

}  // namespace hexora
