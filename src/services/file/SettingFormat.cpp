#include "services/file/SettingFormat.hpp"

#include <nlohmann/json.hpp>

#include <limits>

namespace hexora {
namespace {

using nlohmann::json;

std::optional<std::int64_t> int64Of(const json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    return std::nullopt;
}

std::optional<CheckFileReason> reasonOf(const json& object) {
    if (!object.is_object()) return std::nullopt;
    const auto name = object.find("name");
    const auto reason = object.find("reason");
    if (name == object.end() || !name->is_string() || reason == object.end()) return std::nullopt;
    const auto number = int64Of(*reason);
    if (!number) return std::nullopt;

    CheckFileReason result;
    result.name = name->get<std::string>();
    result.reason = *number;
    const auto message = object.find("message");
    if (message != object.end() && message->is_string()) result.message = message->get<std::string>();
    return result;
}

}  // namespace

std::optional<SettingFormat> SettingFormat::decode(std::string_view bytes) {
    const json root = json::parse(bytes.begin(), bytes.end(), nullptr, /*allow_exceptions=*/false);
    if (!root.is_object()) return std::nullopt;

    const auto reasons = root.find("check_file_reasons");
    const auto checkFiles = root.find("check_files");
    const auto apiIndex = root.find("api_dsa_index");
    const auto cdnIndex = root.find("cdn_dsa_index");
    if (reasons == root.end() || checkFiles == root.end() || apiIndex == root.end() || cdnIndex == root.end())
        return std::nullopt;
    if (!reasons->is_array() || !checkFiles->is_boolean()) return std::nullopt;

    SettingFormat result;
    for (const json& entry : *reasons) {
        auto reason = reasonOf(entry);
        if (!reason) return std::nullopt;
        result.check_file_reasons.push_back(std::move(*reason));
    }
    result.check_files = checkFiles->get<bool>();
    const auto api = int64Of(*apiIndex);
    const auto cdn = int64Of(*cdnIndex);
    if (!api || !cdn) return std::nullopt;
    result.api_dsa_index = *api;
    result.cdn_dsa_index = *cdn;
    return result;
}

std::string SettingFormat::encode() const {
    nlohmann::ordered_json reasons = nlohmann::ordered_json::array();
    for (const CheckFileReason& entry : check_file_reasons) {
        nlohmann::ordered_json object;
        object["name"] = entry.name;
        object["reason"] = entry.reason;
        if (entry.message) object["message"] = *entry.message;
        reasons.push_back(std::move(object));
    }
    nlohmann::ordered_json root;
    root["check_file_reasons"] = std::move(reasons);
    root["check_files"] = check_files;
    root["api_dsa_index"] = api_dsa_index;
    root["cdn_dsa_index"] = cdn_dsa_index;
    // Texts that are not valid UTF-8 are written with U+FFFD instead of failing.
    const std::string text = root.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    // The settings file uses the default JSON text form, which escapes slashes
    // ("a\/b"). A slash can only stand inside a text of the dump, so every one
    // of them is escaped.
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        if (c == '/') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

}  // namespace hexora
