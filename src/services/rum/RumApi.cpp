#include "services/rum/RumApi.hpp"

#include "services/internal/JSON.hpp"

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

nlohmann::ordered_json Request::toJson() const {
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    for (const auto& record : Data) records.push_back(record.toJson());
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["Data"] = std::move(records);
    return json;
}

std::optional<std::string> Request::encodedText() const {
    try {
        return toJson().dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

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
