#pragma once
// The update API's reply to the update-info request.
//
// Decoding needs "result" as a JSON integer; the texts are read when present
// (null counts as absent) and must then be strings; other members are
// ignored. The JSON form (for telemetry only) writes "result" as a string
// of its decimal value, then each text that is present.
#include "services/http/ApiResponse.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace hexora::ApiConf::UpdateInfo {

class Response : public ApiResponse {
public:
    std::int64_t result = 0;
    std::optional<std::string> hash;
    std::optional<std::string> version;
    std::optional<std::string> file;
    std::optional<std::string> v_check;
    std::optional<std::string> v_check_url;
    std::optional<std::string> v_check_url2;

    Response() = default;
    /// Throws nlohmann::json::exception when the reply does not decode.
    explicit Response(const nlohmann::json& json);

    nlohmann::ordered_json encode() const override;
};

}  // namespace hexora::ApiConf::UpdateInfo
