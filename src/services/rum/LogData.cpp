#include "services/rum/LogData.hpp"

#include "platform/Clock.hpp"
#include "services/rum/RumApi.hpp"

#include <ctime>

namespace hexora::Rum {
namespace {
// "yyyy-MM-dd'T'HH:mm:ss.SSS" in UTC.
std::string utcStamp() {
    const auto now = platform::Clock::current()->now();
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    char withMillis[40];
    std::snprintf(withMillis, sizeof withMillis, "%s.%03d", text, static_cast<int>(millis));
    return withMillis;
}
}  // namespace

LogData::LogData(std::string minorType, std::string event, std::string eventState, std::string logLevel)
    : MinorType(std::move(minorType)),
      Event(std::move(event)),
      EventState(std::move(eventState)),
      TimeStamp(utcStamp()),
      LogLevel(std::move(logLevel)) {}

LogData& LogData::addData(const std::string& key, const std::string& value) {
    if (Data && Data->contains(key)) return *this;
    if (value.empty()) return *this;
    if (key == "Type") {
        aType = value;
        return *this;
    }
    if (!Data) Data = nlohmann::ordered_json::object();
    (*Data)[key] = value;
    return *this;
}

std::optional<std::string> LogData::dataValue(const std::string& key) const {
    if (!Data || !Data->contains(key)) return std::nullopt;
    return (*Data)[key].get<std::string>();
}

nlohmann::ordered_json LogData::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["Sender"] = Sender;
    json["LogVer"] = LogVer;
    json["Platform"] = Platform;
    json["MajorType"] = MajorType;
    json["MinorType"] = MinorType;
    json["Event"] = Event;
    json["EventState"] = EventState;
    json["TimeStamp"] = TimeStamp;
    json["DeviceId"] = DeviceId;
    if (Guid) json["Guid"] = *Guid;
    if (!aType.empty()) json["Type"] = aType;
    json["LogLevel"] = LogLevel;
    if (Data) json["Data"] = *Data;
    if (RawData) json["RawData"] = *RawData;
    return json;
}

void LogData::append() const { Api::enqueue(*this); }

}  // namespace hexora::Rum
