#pragma once
// The servers the launcher talks to: update API base URLs, file server base
// URLs, the telemetry collector root and an optional file of extra trusted
// certificate authorities. Release builds use the compiled-in values; builds
// with HEXORA_ENDPOINT_OVERRIDES let the environment replace them
// (HEXORA_API_URLS and HEXORA_FILE_URLS: base URLs separated by commas, in
// list order; HEXORA_RUM_URL: the collector root ending in "/"; HEXORA_CA_FILE:
// a PEM file; HEXORA_DISK_RESERVE_BYTES: the free space a download leaves on
// its disk, for the end-to-end tests' small file systems). This is the one
// place that reads them.
//
// Thread: any thread. Values are read afresh on each call, so a test that sets
// the environment before building what it tests sees its own servers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hexora::platform {

class Endpoints {
public:
    /// Update API base URLs ("https://" + host, no trailing slash), primary first.
    static std::vector<std::string> apiUrls();
    /// File server base URLs, primary first.
    static std::vector<std::string> fileUrls();
    /// The telemetry collector root, ending in "/".
    static std::string rumUrl();
    /// A PEM file of extra certificate authorities to trust, if one is configured.
    static std::optional<std::string> caFile();

    /// The free-space reserve of file downloads in bytes, when the environment
    /// names one (decimal digits only; anything else is ignored).
    static std::optional<std::uint64_t> diskReserveBytes();

    /// Whether this build lets the environment replace the compiled-in values.
    static bool overridesEnabled();

    /// Splits a comma-separated list, trimming blanks around entries and
    /// dropping empty ones.
    static std::vector<std::string> splitUrls(std::string_view text);
};

}  // namespace hexora::platform
