#pragma once
// Extra certificate authorities trusted beside the system's, for local
// servers (the demo's update server, the tests' HTTPS servers). Peer and host
// verification stay on whatever is set here.
//
// Process-wide; any thread may read or set. A transfer reads the value once,
// when it starts.
#include <optional>
#include <string>

namespace hexora::Http::TrustedCertificates {

/// The PEM file of extra authorities in force: the one set with
/// setExtraCaFile(), else the configured one (platform::Endpoints::caFile(),
/// HEXORA_CA_FILE where the build allows overrides), else none.
std::optional<std::string> extraCaFile();

/// Sets the PEM file of extra authorities; nullopt goes back to the
/// environment or none.
void setExtraCaFile(std::optional<std::string> path);

}  // namespace hexora::Http::TrustedCertificates
