#include "services/http/TrustedCertificates.hpp"

#include "platform/Endpoints.hpp"

#include <mutex>

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
}  // namespace

std::optional<std::string> extraCaFile() {
    {
        std::lock_guard lock(state().mutex);
        if (state().path) return state().path;
    }
    return platform::Endpoints::caFile();
}

void setExtraCaFile(std::optional<std::string> path) {
    std::lock_guard lock(state().mutex);
    state().path = std::move(path);
}

}  // namespace hexora::Http::TrustedCertificates
