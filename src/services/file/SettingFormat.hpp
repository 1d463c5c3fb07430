#pragma once
// The content of the settings file ".launcher.json": one JSON object
//   {"check_file_reasons":[{"name":..,"reason":..,"message":..}],
//    "check_files":false,"api_dsa_index":0,"cdn_dsa_index":0}
//
// Decoding: all four top-level keys are required with exactly those JSON
// types (a list of objects, a boolean, two integers in the signed 64-bit
// range); in each reason `name` (text) and `reason` (integer) are required,
// a `message` that is not a text is taken as absent; other keys are ignored.
// Encoding: compact, members in the order above, `message` left out when
// absent, slashes in texts escaped ("Hexora.app\/Contents").
//
// Thread: a plain value; nothing here throws.
#include "services/file/CheckFileReason.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hexora {

struct SettingFormat {
    std::vector<CheckFileReason> check_file_reasons;
    bool check_files = false;
    std::int64_t api_dsa_index = 0;
    std::int64_t cdn_dsa_index = 0;

    bool operator==(const SettingFormat&) const = default;

    /// The record in `bytes`, or nullopt when they are not a valid settings file.
    static std::optional<SettingFormat> decode(std::string_view bytes);
    /// The file's bytes for this record.
    std::string encode() const;
};

}  // namespace hexora
