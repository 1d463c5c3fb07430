#include "platform/MainBundle.hpp"

#include <system_error>

namespace hexora::platform {

std::filesystem::path executablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return path;
}

std::filesystem::path bundlePathOf(const std::filesystem::path& executable) {
    const auto folder = executable.parent_path();
    const auto contents = folder.parent_path();
    const auto bundle = contents.parent_path();
    if (folder.filename() == "MacOS" && contents.filename() == "Contents" && bundle.extension() == ".app" &&
        bundle.has_relative_path()) {
        return bundle;
    }
    return folder;
}

std::filesystem::path mainBundlePath() {
    const auto executable = executablePath();
    if (executable.empty()) {
        std::error_code error;
        return std::filesystem::current_path(error);
    }
    return bundlePathOf(executable);
}

}  // namespace hexora::platform
