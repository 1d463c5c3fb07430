#pragma once
// Preference suites as property-list files: the suite "com.example.app" is
// the file "com.example.app.plist" in the configuration folder, a dictionary
// of text values. The folder is the one given, or else the user's
// configuration folder at each open ($XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config).
//
// Several processes may write the same suite at once: a write takes an
// exclusive lock on "<suite>.plist.lock", reads the current file, writes the
// new dictionary to a temporary file in the same folder (flushed to disk,
// owner-only permissions) and renames it over the suite file, then flushes
// the folder so the rename outlasts a power cut; so no write is lost and
// readers always see a whole file (readers take no lock). Binary and XML
// property lists are read; XML is written. A file that is missing, larger
// than MaxSuiteBytes (not read then) or not a property-list dictionary reads
// as empty, and the next write replaces it. A temporary file of the suite that
// a killed writer left is removed by the next write, under the lock.
#include "platform/PreferenceStore.hpp"

#include <cstdint>
#include <filesystem>

namespace hexora::platform {

class PlistPreferenceStore final : public PreferenceStore {
public:
    /// The largest suite file read: 8 MiB. A suite holds a few short texts
    /// (the launcher's and the game's entries, well under a kilobyte); a file
    /// thousands of times that is a broken one, and reading it whole would
    /// cost a start seconds and its size in memory at every read.
    static constexpr std::uintmax_t MaxSuiteBytes = 8u << 20;

    /// Suites in the user's configuration folder, looked up at each open.
    PlistPreferenceStore() = default;
    /// Suites in `folder` (created on the first write).
    explicit PlistPreferenceStore(std::filesystem::path folder);

    /// nullptr when `suiteName` is empty, ".", "..", holds a "/" or a NUL, or
    /// no configuration folder is known.
    std::unique_ptr<PreferenceSuite> open(const std::string& suiteName) override;

    /// The user's configuration folder; empty when neither XDG_CONFIG_HOME
    /// nor a home folder is known.
    static std::filesystem::path userConfigurationFolder();

private:
    std::filesystem::path folder_;
};

}  // namespace hexora::platform
