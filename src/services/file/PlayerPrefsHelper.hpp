#pragma once
// The game's preference suite, shared by the launcher and the game: keys and
// values are stored as the standard Base64 text of their UTF-8 bytes.
//
// Keys in the game suite: "LAUNCHER_PROC_ID", "DATE", "GUID", "PROD_DIR"
// (written by the launcher), "<scheme>_uri" (an opened URL), "CLIENT_PROC_ID"
// (written by the game). The developer-hub suite uses the same codec.
//
// Thread: any thread; every read and write opens the suite afresh through
// platform::PreferenceStore::current(). Nothing here throws, logs or reports:
// a suite that cannot be opened reads as empty and drops writes.
#include "services/internal/GameProduct.hpp"

#include <optional>
#include <string>

namespace hexora::PlayerPrefsHelper {

/// The standard Base64 text of `bytes` (padded with "=", no line breaks).
std::string base64Encode(const std::string& bytes);
/// The bytes of strict standard Base64 text (length a multiple of four, the
/// standard alphabet, "=" only as the final padding, no white space); nullopt
/// for anything else. The empty text decodes to no bytes.
std::optional<std::string> base64Decode(const std::string& text);

class Agent {
public:
    enum class Encoding : int { None = 0, Base64 = 1 };

    /// The case of a raw value; nullopt for anything but 0 and 1.
    static std::optional<Encoding> encodingFromRaw(int raw);

    Agent(std::string suiteName, Encoding encoding);
    virtual ~Agent() = default;

    /// The text stored under `key`, decoded; the empty text when there is
    /// none, when the stored value is not text or when the suite cannot be
    /// opened. A stored value that is not Base64 is returned as stored; bytes
    /// that are not UTF-8 read as U+FFFD.
    virtual std::string getString(const std::string& key) const;

    /// Opens the suite, stores `value` under `key` (both encoded) and writes
    /// the suite through at once; dropped silently when the suite cannot be
    /// opened.
    void setString(const std::string& key, const std::string& value) const;

    const std::string& suiteName() const { return suiteName_; }
    Encoding encoding() const { return encoding_; }

private:
    std::string encoded(const std::string& text) const;

    std::string suiteName_;
    Encoding encoding_;
};

/// The game's suite, named by its bundle identifier.
inline constexpr const char* GameSuiteName = GameProduct::BundleIdentifier;
/// The developer-hub application's suite.
inline constexpr const char* DeveloperHubSuiteName = "com.tarq.hexora.mac.developerhub";

/// The one shared agent: the game's suite with the Base64 codec.
const Agent& agent();

}  // namespace hexora::PlayerPrefsHelper
