#pragma once
// The top level of a bundle's Info.plist (XML or binary property list), read
// with libplist: which keys it has and which of them hold texts.
//
// Thread: any thread; an InfoPlist is a plain value. Nothing here throws.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace hexora::platform {

class InfoPlist {
public:
    /// Files larger than this are not taken for an Info.plist.
    static constexpr std::uintmax_t MaxFileSize = 16 * 1024 * 1024;

    /// Where a bundle keeps its Info.plist: `bundle`/"Contents/Info.plist".
    static std::filesystem::path pathIn(const std::filesystem::path& bundle);
    /// read(pathIn(bundle)).
    static std::optional<InfoPlist> readOfBundle(const std::filesystem::path& bundle);
    /// The property list at `path`, or nullopt when the file cannot be read,
    /// is not a property list, or its root is not a dictionary.
    static std::optional<InfoPlist> read(const std::filesystem::path& path);
    /// The same from bytes already in memory.
    static std::optional<InfoPlist> parse(const std::string& bytes);
    /// The text under `key` of the property list at `path`; nullopt when the
    /// file cannot be read, lacks the key or the value is no text.
    static std::optional<std::string> readString(const std::filesystem::path& path, const std::string& key);

    /// True when the dictionary has a value of any type under `key`.
    bool contains(const std::string& key) const;
    /// The value under `key` when it is a text; nullopt when missing or of another type.
    std::optional<std::string> text(const std::string& key) const;

private:
    // Each key of the root dictionary with its text, or nullopt for a value that is no text.
    std::map<std::string, std::optional<std::string>> values_;
};

}  // namespace hexora::platform
