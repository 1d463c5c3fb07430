#pragma once
// The update-info request (number 22, path "/conf"): asks the update API
// about the launcher or the game (each product's UpdatePlatform) at a version.
//
// Its JSON form is one object: "p" (22), "app_version", "platform".
#include "services/api/ApiRequest.hpp"

#include <string>

namespace hexora::ApiConf::UpdateInfo {

class Request : public ApiRequest {
public:
    /// Always 22.
    int p = 22;
    /// The installed version of the launcher or of the game.
    std::string app_version;

    Request() = default;
    Request(std::string appVersion, int platformNumber);
    /// Decodes a record: "app_version" and "platform" are required, "p" is never read.
    explicit Request(const nlohmann::json& json);

    std::string getPath() const override { return "/conf"; }
    std::string getApiId() const override { return std::to_string(p); }
    nlohmann::ordered_json encode() const override;
};

}  // namespace hexora::ApiConf::UpdateInfo
