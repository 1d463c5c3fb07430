#include "services/http/TrustedCertificates.hpp"

#include <cstdlib>
#include <mutex>

#ifndef HEXORA_ENDPOINT_OVERRIDES
#define HEXORA_ENDPOINT_OVERRIDES 0
#endif

namespace hexora::Http::TrustedCertificates {
namespace {
struct State {
    std::mutex mutex;
    std::optional<std::string> path;
};
State& state() {
    static State instance;
    return instance;
}

std::optional<std::string> fromEnvironment() {
#if HEXORA_ENDPOINT_OVERRIDES
    const char* value = std::getenv("HEXORA_CA_FILE");
    if (value && *value) return std::string(value);
#endif
    return std::nullopt;
}
}  // namespace

std::optional<std::string> extraCaFile() {
    {
        std::lock_guard lock(state().mutex);
        if (state().path) return state().path;
    }
    return fromEnvironment();
}

void setExtraCaFile(std::optional<std::string> path) {
    std::lock_guard lock(state().mutex);
    state().path = std::move(path);
}

}  // namespace hexora::Http::TrustedCertificates
