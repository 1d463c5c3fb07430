#pragma once
// The user-visible texts of a bundle: its strings file
// `<bundle>/Contents/Resources/Localizable.strings`, one entry per line in the
// form
//
//   /* what the text is for */
//   "msg_mac_install" = "Please move the Hexora.app icon to the Applications folder.";
//
// Keys and values are double-quoted texts with the escapes \" \\ \n \t and
// \r. Comments (/* ... */ and // to the end of the line) and blanks between
// the parts are skipped. The file is UTF-8; a leading byte-order mark is
// dropped.
//
// Thread: any thread; the file is read at each call (it is read once per run).
// Nothing here throws: a missing or unreadable file, or a file that does not
// parse, has no entries.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace hexora::platform {

/// The entries of a strings file's text; nullopt when the text does not
/// parse. A key given twice keeps its last value.
std::optional<std::map<std::string, std::string>> parseStrings(std::string_view text);

/// The text of `key` in the strings file of `bundle`; the key itself when the
/// file or the entry is missing.
std::string localizedString(const std::filesystem::path& bundle, const std::string& key);

}  // namespace hexora::platform
