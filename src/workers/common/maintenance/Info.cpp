#include "workers/common/maintenance/Info.hpp"

namespace hexora::Worker::Common {

std::optional<Info> Info::decode(std::string_view body, std::string* error) {
    const auto fail = [&](std::string why) -> std::optional<Info> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    if (json.is_discarded()) return fail("the data couldn't be read because it isn't valid JSON");
    if (!json.is_object()) return fail("the data couldn't be read because it isn't a JSON object");
    Info info;
    for (auto [key, field] : {std::pair{"start_dt", &info.start_dt}, std::pair{"end_dt", &info.end_dt},
                              std::pair{"eng", &info.eng}}) {
        const auto member = json.find(key);
        if (member == json.end()) return fail(std::string("no value associated with key \"") + key + "\"");
        if (!member->is_string()) return fail(std::string("expected a string for key \"") + key + "\"");
        *field = member->get<std::string>();
    }
    return info;
}

nlohmann::ordered_json Info::toJson() const {
    return {{"start_dt", start_dt}, {"end_dt", end_dt}, {"eng", eng}};
}

}  // namespace hexora::Worker::Common
