#include "services/api/UpdateInfoResponse.hpp"

#include <cmath>
#include <limits>

namespace hexora::ApiConf::UpdateInfo {
namespace {
using json = nlohmann::json;

std::int64_t integerMember(const json& object, const char* key) {
    const json& value = object.at(key);
    if (value.is_number_integer()) {
        if (value.is_number_unsigned() && value.get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max()) {
            throw json::type_error::create(302, std::string("\"") + key + "\" is out of range", &value);
        }
        return value.get<std::int64_t>();
    }
    // A number written with a fraction is still an integer when the fraction is zero.
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::trunc(number) == number && std::abs(number) < 9.2e18) return static_cast<std::int64_t>(number);
    }
    throw json::type_error::create(302, std::string("\"") + key + "\" must be an integer, not " + value.type_name(),
                                   &value);
}

std::optional<std::string> textMember(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return std::nullopt;
    return found->get<std::string>();
}
}  // namespace

Response::Response(const nlohmann::json& json) {
    if (!json.is_object()) throw json::type_error::create(302, std::string("reply must be an object, not ") + json.type_name(), &json);
    result = integerMember(json, "result");
    hash = textMember(json, "hash");
    version = textMember(json, "version");
    file = textMember(json, "file");
    v_check = textMember(json, "v_check");
    v_check_url = textMember(json, "v_check_url");
    v_check_url2 = textMember(json, "v_check_url2");
}

nlohmann::ordered_json Response::encode() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["result"] = std::to_string(result);
    const std::pair<const char*, const std::optional<std::string>*> texts[] = {
        {"hash", &hash},       {"version", &version},         {"file", &file},
        {"v_check", &v_check}, {"v_check_url", &v_check_url}, {"v_check_url2", &v_check_url2},
    };
    for (const auto& [key, value] : texts) {
        if (*value) json[key] = **value;
    }
    return json;
}

}  // namespace hexora::ApiConf::UpdateInfo
