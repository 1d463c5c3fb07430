#pragma once
// One telemetry record: a step starting, succeeding or failing, a request's
// outcome, a notice. Built by the reporter, filled with addData, then handed
// to the pending batch with append(); nothing reads a record back.
//
// Thread: a record belongs to its builder until append(), which copies it into
// the process-wide batch (Rum::Api) and may be called from any thread.
// Nothing here throws, except encode() for a Data that is not JSON-encodable
// (only possible when Data was written directly, not through addData).
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

    /// Stores one pair, in this order: the value is trimmed of blanks (spaces,
    /// tabs, other horizontal spaces; line breaks stay); a key already in Data
    /// keeps its first value; an empty value is ignored; the key "Type" sets
    /// aType (the last one wins) and never enters Data; any other value loses
    /// its line feeds ("\r\n" and "\n"; a lone "\r" stays) and is cut to its
    /// first MaxMessageSize user-perceived characters (grapheme clusters, so
    /// never inside a UTF-8 sequence). Returns *this so that calls chain.
    virtual LogData& addData(const std::string& key, const std::string& value);

    /// The value stored under `key` in Data, or nullopt.
    std::optional<std::string> dataValue(const std::string& key) const;

    /// The record's JSON form: "Sender", "LogVer", "Platform", "MajorType",
    /// "MinorType", "Event", "EventState", "TimeStamp", "DeviceId", then
    /// "Guid" when present, "Type" when aType is not empty, "LogLevel", "Data"
    /// when present, "RawData" when present. Throws JSON::EncodingError when
    /// Data holds something JSON cannot write (a real that is not finite).
    virtual nlohmann::ordered_json encode() const;

    /// Hands a copy to the pending batch, with its identity filled: DeviceId
    /// from DeviceInfo::currentDeviceId() when there is one (no Guid), else
    /// Guid from the game suite's "GUID" (empty when none) and an empty
    /// DeviceId. Writes the info log line "Rum.LogData.append: " followed by
    /// the one-record batch as JSON (or "failed to encode log data").
    void append() const;

private:
    /// The record as append() hands it over: a copy with its identity filled.
    LogData withIdentity() const;
};

}  // namespace hexora::Rum
