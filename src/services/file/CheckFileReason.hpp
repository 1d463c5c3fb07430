#pragma once
// One entry of the settings file's `check_file_reasons` list. The launcher
// reads and writes these back unchanged; nothing else interprets them.
#include <cstdint>
#include <optional>
#include <string>

namespace hexora {

struct CheckFileReason {
    std::string name;
    std::int64_t reason = 0;
    /// Absent when the file has none or holds something other than a text.
    std::optional<std::string> message;

    bool operator==(const CheckFileReason&) const = default;
};

}  // namespace hexora
