#pragma once
// Per-application key/value stores ("suites"), shared between processes: the
// launcher and the game exchange small facts through the game's suite.
//
// open() gives a handle to one suite, or nullptr when the suite cannot be
// opened (a name that is not a plain file name, no configuration folder).
// Every set() is stored at once, so another process (or another handle)
// sees it on its next read. A suite whose storage cannot be read reads as
// empty; a write that cannot be stored is dropped. Nothing here throws.
//
// Thread: current() and install() from any thread (install() is meant for
// process start and tests). A store and its handles may be used from any
// thread; each handle reads the stored state afresh.
#include <memory>
#include <optional>
#include <string>

namespace hexora::platform {

class PreferenceSuite {
public:
    virtual ~PreferenceSuite() = default;
    /// The text stored under `key`; nullopt when there is none or the stored
    /// value is not text.
    virtual std::optional<std::string> stringForKey(const std::string& key) = 0;
    /// Stores `value` as text under `key` and writes the suite through.
    virtual void setString(const std::string& key, const std::string& value) = 0;
};

class PreferenceStore {
public:
    virtual ~PreferenceStore() = default;
    /// A handle to the suite `suiteName`, or nullptr when it cannot be opened.
    virtual std::unique_ptr<PreferenceSuite> open(const std::string& suiteName) = 0;

    /// The installed store; the property-list files of the user's
    /// configuration folder unless install() replaced it.
    static std::shared_ptr<PreferenceStore> current();
    /// Replaces the process store; nullptr restores the default one.
    static void install(std::shared_ptr<PreferenceStore> store);
};

}  // namespace hexora::platform
