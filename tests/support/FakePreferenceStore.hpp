#pragma once
// Preference suites in memory, for tests. A suite listed in `unopenable`
// cannot be opened. ScopedPreferenceStore installs a fresh one for the life
// of a test and puts the store before it back afterwards.
//
// Thread: any; the suites are guarded by one lock.
#include "platform/PreferenceStore.hpp"
#include "support/ScopedLayer.hpp"

#include <map>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace hexora::test {

class FakePreferenceStore final : public platform::PreferenceStore {
public:
    std::unique_ptr<platform::PreferenceSuite> open(const std::string& suiteName) override;

    /// The raw (stored) entries of a suite.
    std::map<std::string, std::string> entries(const std::string& suiteName) const;
    /// Stores a raw entry, as another program would.
    void put(const std::string& suiteName, const std::string& key, const std::string& value);
    /// Makes `suiteName` impossible (or possible again) to open.
    void setUnopenable(const std::string& suiteName, bool unopenable = true);
    /// Number of setString calls that reached the store.
    int writes() const;
    /// The raw keys written to `suiteName`, in the order of the writes.
    std::vector<std::string> writtenKeys(const std::string& suiteName) const;

private:
    friend class FakeSuite;
    mutable std::mutex mutex_;
    std::map<std::string, std::map<std::string, std::string>> suites_;
    std::set<std::string> unopenable_;
    int writes_ = 0;
    std::vector<std::pair<std::string, std::string>> writeLog_;
};

using ScopedPreferenceStore = ScopedLayer<platform::PreferenceStore, FakePreferenceStore>;

}  // namespace hexora::test
