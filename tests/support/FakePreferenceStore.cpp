#include "support/FakePreferenceStore.hpp"

namespace hexora::test {

class FakeSuite final : public platform::PreferenceSuite {
public:
    FakeSuite(FakePreferenceStore& store, std::string name) : store_(store), name_(std::move(name)) {}

    std::optional<std::string> stringForKey(const std::string& key) override {
        std::lock_guard lock(store_.mutex_);
        const auto suite = store_.suites_.find(name_);
        if (suite == store_.suites_.end()) return std::nullopt;
        const auto entry = suite->second.find(key);
        if (entry == suite->second.end()) return std::nullopt;
        return entry->second;
    }

    void setString(const std::string& key, const std::string& value) override {
        std::lock_guard lock(store_.mutex_);
        store_.suites_[name_][key] = value;
        ++store_.writes_;
        store_.writeLog_.emplace_back(name_, key);
    }

private:
    FakePreferenceStore& store_;
    std::string name_;
};

std::unique_ptr<platform::PreferenceSuite> FakePreferenceStore::open(const std::string& suiteName) {
    std::lock_guard lock(mutex_);
    if (unopenable_.count(suiteName)) return nullptr;
    return std::make_unique<FakeSuite>(*this, suiteName);
}

std::map<std::string, std::string> FakePreferenceStore::entries(const std::string& suiteName) const {
    std::lock_guard lock(mutex_);
    const auto suite = suites_.find(suiteName);
    return suite == suites_.end() ? std::map<std::string, std::string>{} : suite->second;
}

void FakePreferenceStore::put(const std::string& suiteName, const std::string& key, const std::string& value) {
    std::lock_guard lock(mutex_);
    suites_[suiteName][key] = value;
}

void FakePreferenceStore::setUnopenable(const std::string& suiteName, bool unopenable) {
    std::lock_guard lock(mutex_);
    if (unopenable) unopenable_.insert(suiteName);
    else unopenable_.erase(suiteName);
}

int FakePreferenceStore::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::vector<std::string> FakePreferenceStore::writtenKeys(const std::string& suiteName) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> keys;
    for (const auto& [suite, key] : writeLog_)
        if (suite == suiteName) keys.push_back(key);
    return keys;
}

}  // namespace hexora::test
