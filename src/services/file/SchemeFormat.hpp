#pragma once
// A scheme: the file list of one version of the launcher or the game, also
// the form of a broken-file list. One JSON object
//   {"version":"..","header":"..","files":[{"file":"..","directory":"..","hash":".."}]}
// Decoding: every key is required and every value is a text (`files` a list
// of such objects); other keys are ignored; it reads the text straight into
// the records (SchemeReader), in little more memory than the scheme's own
// size. Encoding: members in the order above.
//
// Thread: a plain value; nothing here throws.
#include "services/file/SchemeFileInfo.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hexora {

struct SchemeFormat {
    std::string version;
    std::string header;
    std::vector<SchemeFileInfo> files;

    bool operator==(const SchemeFormat&) const = default;

    /// The scheme in `bytes`, or nullopt when they are not a valid scheme.
    static std::optional<SchemeFormat> decode(std::string_view bytes);
    /// The JSON form, for writers that choose their own text options.
    nlohmann::ordered_json toJson() const;
    /// Compact JSON text of toJson().
    std::string encode() const;
};

}  // namespace hexora
