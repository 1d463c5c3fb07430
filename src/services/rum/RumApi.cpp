#include "services/rum/RumApi.hpp"

#include <mutex>

namespace hexora::Rum::Api {
namespace {
struct Pending {
    std::mutex mutex;
    std::vector<LogData> records;
    std::string streamName;
};
Pending& pending() {
    static Pending instance;
    return instance;
}
}  // namespace

std::string streamName() {
    std::lock_guard lock(pending().mutex);
    return pending().streamName;
}

void setStreamName(std::string name) {
    std::lock_guard lock(pending().mutex);
    pending().streamName = std::move(name);
}

void enqueue(LogData record) {
    std::lock_guard lock(pending().mutex);
    pending().records.push_back(std::move(record));
}

// Upload is not wired yet: a flush takes the batch and drops it.
void flushAsync() { takePendingRecords(); }
void flushSync() { takePendingRecords(); }

std::vector<LogData> pendingRecords() {
    std::lock_guard lock(pending().mutex);
    return pending().records;
}

std::vector<LogData> takePendingRecords() {
    std::lock_guard lock(pending().mutex);
    std::vector<LogData> taken;
    taken.swap(pending().records);
    return taken;
}

}  // namespace hexora::Rum::Api
