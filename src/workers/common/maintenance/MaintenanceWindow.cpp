#include "workers/common/maintenance/MaintenanceWindow.hpp"

#include <mutex>

namespace hexora::Worker::Common {
namespace {

struct Window {
    std::mutex mutex;
    std::optional<Date> start;
    std::optional<Date> end;
};

Window& window() {
    static Window instance;
    return instance;
}

}  // namespace

std::optional<Date> maintenanceStart() {
    std::lock_guard lock(window().mutex);
    return window().start;
}

std::optional<Date> maintenanceEnd() {
    std::lock_guard lock(window().mutex);
    return window().end;
}

void setMaintenanceStart(std::optional<Date> date) {
    std::lock_guard lock(window().mutex);
    window().start = date;
}

void setMaintenanceEnd(std::optional<Date> date) {
    std::lock_guard lock(window().mutex);
    window().end = date;
}

void resetMaintenanceWindow() {
    std::lock_guard lock(window().mutex);
    window().start.reset();
    window().end.reset();
}

}  // namespace hexora::Worker::Common
