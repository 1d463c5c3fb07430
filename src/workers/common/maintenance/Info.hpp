#pragma once
// One maintenance notice, the body of "maintenance.txt" on a file domain:
//   {"start_dt":"2026-03-01 02:00:00","end_dt":"2026-03-01 06:00:00","eng":""}
// All three members are required JSON strings; other members are ignored.
// The dates are "yyyy-MM-dd HH:mm:ss" in UTC; nothing reads `eng`.
//
// Thread: a plain value; nothing here throws.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace hexora::Worker::Common {

class Info {
public:
    std::string start_dt;
    std::string end_dt;
    std::string eng;

    /// The notice in `body`, or nullopt with `error` set to why it is none
    /// (not JSON, not an object, a member missing or not a string).
    static std::optional<Info> decode(std::string_view body, std::string* error = nullptr);
    nlohmann::ordered_json toJson() const;
};

}  // namespace hexora::Worker::Common
