#include "services/api/ApiDomains.hpp"

#include "platform/Endpoints.hpp"

#include <mutex>

namespace hexora::ApiDomains {
namespace {

struct Lists {
    std::shared_ptr<ApiDomainArray> api;
    std::shared_ptr<ApiDomainArray> file;
};

std::mutex& listsMutex() {
    static std::mutex mutex;
    return mutex;
}

Lists& lists() {
    static Lists value;
    return value;
}

}  // namespace

void createLists() { createLists(platform::Endpoints::apiUrls(), platform::Endpoints::fileUrls()); }

void createLists(std::vector<std::string> apiUrls, std::vector<std::string> fileUrls) {
    auto api = std::make_shared<ApiDomainArray>(std::move(apiUrls));
    auto file = std::make_shared<ApiDomainArray>(std::move(fileUrls));
    std::lock_guard lock(listsMutex());
    lists() = Lists{std::move(api), std::move(file)};
}

std::shared_ptr<ApiDomainArray> apiList() {
    std::lock_guard lock(listsMutex());
    return lists().api;
}

std::shared_ptr<ApiDomainArray> fileList() {
    std::lock_guard lock(listsMutex());
    return lists().file;
}

void resetForTesting() {
    std::lock_guard lock(listsMutex());
    lists() = Lists{};
}

}  // namespace hexora::ApiDomains
