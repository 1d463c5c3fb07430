#pragma once
// One telemetry record: a step starting, succeeding or failing, a request's
// outcome, a notice. Built by the reporter, filled with addData, then handed
// to the pending batch with append(); nothing reads a record back.
//
// Thread: a record belongs to its builder until append(), which copies it into
// the process-wide batch (Rum::Api) and may be called from any thread.
// Nothing here throws.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace hexora::Rum {

class LogData {
public:
    static constexpr int MaxMessageSize = 2000;

    /// A record with the fixed values, the given kind and TimeStamp = now (UTC).
    LogData(std::string minorType, std::string event, std::string eventState, std::string logLevel);
    LogData() : LogData("", "", "", "") {}
    virtual ~LogData() = default;
    LogData(const LogData&) = default;
    LogData& operator=(const LogData&) = default;

    std::string Sender = "Lnc";
    std::string LogVer = "1.0.1";
    std::string Platform = "mac";
    std::string MajorType = "Launcher";
    std::string MinorType;
    std::string Event;
    std::string EventState;
    std::string TimeStamp;
    std::string DeviceId;
    std::optional<std::string> Guid;
    /// Written as "Type"; set through addData("Type", ...) or directly.
    std::string aType;
    /// A JSON object of text values, absent until the first pair is stored.
    std::optional<nlohmann::ordered_json> Data;
    std::string LogLevel;
    std::optional<std::string> RawData;

    /// Stores one pair by the record's rules (first value per key wins, "Type"
    /// goes to aType, line breaks dropped, cut to MaxMessageSize characters).
    /// Returns *this so that calls chain.
    virtual LogData& addData(const std::string& key, const std::string& value);

    /// The value stored under `key` in Data, or nullopt.
    std::optional<std::string> dataValue(const std::string& key) const;

    /// The record's JSON form, members in the documented order.
    virtual nlohmann::ordered_json toJson() const;

    /// Fills DeviceId or Guid and hands a copy to the pending batch.
    void append() const;
};

}  // namespace hexora::Rum
