#include "services/api/UpdateInfoRequest.hpp"

namespace hexora::ApiConf::UpdateInfo {

Request::Request(std::string appVersion, int platformNumber) : app_version(std::move(appVersion)) {
    platform = platformNumber;
}

Request::Request(const nlohmann::json& json) : ApiRequest(), p(22) {
    app_version = json.at("app_version").get<std::string>();
    platform = json.at("platform").get<int>();
}

nlohmann::ordered_json Request::encode() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["p"] = p;
    json["app_version"] = app_version;
    const nlohmann::ordered_json base = ApiRequest::encode();
    for (const auto& [key, value] : base.items()) json[key] = value;
    return json;
}

}  // namespace hexora::ApiConf::UpdateInfo
