#include "platform/Application.hpp"

#include "platform/HeadlessApplication.hpp"

#include <mutex>

namespace hexora::platform {
namespace {
std::mutex& slotMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<Application>& slot() {
    static std::shared_ptr<Application> application = std::make_shared<HeadlessApplication>();
    return application;
}
}  // namespace

std::shared_ptr<Application> Application::current() {
    std::lock_guard lock(slotMutex());
    return slot();
}

void Application::install(std::shared_ptr<Application> application) {
    if (!application) application = std::make_shared<HeadlessApplication>();
    std::lock_guard lock(slotMutex());
    slot().swap(application);
}

}  // namespace hexora::platform
