#include "platform/ProcessLauncher.hpp"

#include "platform/PosixProcessLauncher.hpp"

#include <mutex>

namespace hexora::platform {
namespace {
std::mutex& slotMutex() {
    static std::mutex mutex;
    return mutex;
}
std::shared_ptr<ProcessLauncher>& slot() {
    static std::shared_ptr<ProcessLauncher> launcher = std::make_shared<PosixProcessLauncher>();
    return launcher;
}
}  // namespace

std::shared_ptr<ProcessLauncher> ProcessLauncher::current() {
    std::lock_guard lock(slotMutex());
    return slot();
}

void ProcessLauncher::install(std::shared_ptr<ProcessLauncher> launcher) {
    if (!launcher) launcher = std::make_shared<PosixProcessLauncher>();
    std::lock_guard lock(slotMutex());
    slot().swap(launcher);
}

}  // namespace hexora::platform
