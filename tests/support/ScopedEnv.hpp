#pragma once
// Sets (or unsets) one environment variable for the object's life and puts
// the previous value back afterwards. Use it only while no other thread of the
// test runs.
#include <cstdlib>
#include <optional>
#include <string>

namespace hexora::test {

class ScopedEnv {
public:
    /// `value` nullopt unsets the variable.
    ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) previous_ = old;
        apply(value);
    }
    ~ScopedEnv() { apply(previous_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void apply(const std::optional<std::string>& value) {
        if (value) setenv(name_.c_str(), value->c_str(), 1);
        else unsetenv(name_.c_str());
    }

    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace hexora::test
