#include "workers/common/patch/StartableBundle.hpp"

#include "platform/InfoPlist.hpp"

#include <stdexcept>
#include <system_error>

namespace hexora::Worker::Common {
namespace fs = std::filesystem;

namespace {

constexpr const char* InfoPlistName = "Info.plist";

// The item at `relative` of the patched contents: the new one, or the
// installed one that a partial patch keeps.
fs::path itemAfterPatch(const fs::path& newContents, const fs::path& installedContents, const fs::path& relative) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(newContents / relative, error)) || installedContents.empty())
        return newContents / relative;
    return installedContents / relative;
}

bool isRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(fs::symlink_status(path, error));
}

bool isExecutableFile(const fs::path& path) {
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    return fs::is_regular_file(status) && (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
}

}  // namespace

void StartableBundle::require(const fs::path& newContents, const fs::path& installedContents) const {
    const fs::path program = itemAfterPatch(newContents, installedContents, executable);
    if (!isExecutableFile(program))
        throw std::runtime_error("the bundle would not start: no executable file at " + program.string());
    const fs::path plist = itemAfterPatch(newContents, installedContents, InfoPlistName);
    const auto identifier =
        isRegularFile(plist) ? platform::InfoPlist::readString(plist, "CFBundleIdentifier") : std::nullopt;
    if (identifier != bundleIdentifier) {
        throw std::runtime_error("the bundle would not start: " + plist.string() + " names " +
                                 (identifier ? "\"" + *identifier + "\"" : std::string("no bundle identifier")) +
                                 ", not \"" + bundleIdentifier + "\"");
    }
}

}  // namespace hexora::Worker::Common
