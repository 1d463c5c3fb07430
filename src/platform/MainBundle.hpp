#pragma once
// Where the running launcher lives: the executable and the ".app" bundle that
// holds it (<bundle>/Contents/MacOS/<executable>). A program started outside
// a bundle counts its own folder as the bundle.
//
// Thread: any thread. Each call looks at the running process again; the
// launcher caches what it needs (services/internal/Paths.hpp).
#include <filesystem>

namespace hexora::platform {

/// The running executable, with symbolic links resolved; empty when the
/// platform cannot tell.
std::filesystem::path executablePath();

/// The bundle that holds `executable`: the folder three levels up when the
/// executable sits in "<name>.app/Contents/MacOS", else the executable's folder.
std::filesystem::path bundlePathOf(const std::filesystem::path& executable);

/// bundlePathOf(executablePath()); the current folder when the executable is unknown.
std::filesystem::path mainBundlePath();

}  // namespace hexora::platform
