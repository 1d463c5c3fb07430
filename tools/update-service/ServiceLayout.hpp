#pragma once
// Where one update-service run keeps its files, all below one state folder:
//   ca/            the run's certificate authority and server certificate
//   files/         what the file domains serve (update/<hash>/..., config/...),
//                  unless another folder is given
//   conf.json      the update API's answers, per platform ("32", "33"); read
//                  afresh on every request
//   modes/         misbehaviour switches: a file "<domain>.<mode>"
//                  (domains "api-0", "api-1", "files-0", "files-1", "collector";
//                  modes "error" for every domain, "hang" (accepted, never
//                  answered) for every domain, "hang-update" (the same for
//                  /update/... only: schemes and packages) for files,
//                  "trickle" (each reply in pieces over 8 s, or over the
//                  milliseconds the file holds) and "drip" (each reply one
//                  byte a second) for the API, "slow" and "close" for files)
//   collector/     one file per telemetry batch received, batch-000001.json, ...
//   logs/          requests.log (API and collector, one JSON object a line),
//                  files.access.log and nginx-error.log (file domains),
//                  files.held.log (the request line of each file request
//                  held by "hang", as it arrives)
//   nginx/         the file server's own configuration, pid and temporary folders
//   service.env    the endpoints as KEY=value lines, written last (readiness)
//
// Thread: a value type; copy freely.
#include <filesystem>
#include <string>

namespace hexora::tools {

struct ServiceLayout {
    std::filesystem::path dir;
    std::filesystem::path files;

    explicit ServiceLayout(std::filesystem::path stateDir, std::filesystem::path filesRoot = {})
        : dir(std::move(stateDir)), files(filesRoot.empty() ? dir / "files" : std::move(filesRoot)) {}

    std::filesystem::path certificates() const { return dir / "ca"; }
    std::filesystem::path confFile() const { return dir / "conf.json"; }
    std::filesystem::path modes() const { return dir / "modes"; }
    std::filesystem::path modeFile(const std::string& domain, const std::string& mode) const {
        return modes() / (domain + "." + mode);
    }
    std::filesystem::path collector() const { return dir / "collector"; }
    std::filesystem::path logs() const { return dir / "logs"; }
    std::filesystem::path requestLog() const { return logs() / "requests.log"; }
    std::filesystem::path heldFileRequestLog() const { return logs() / "files.held.log"; }
    std::filesystem::path nginx() const { return dir / "nginx"; }
    std::filesystem::path envFile() const { return dir / "service.env"; }
};

}  // namespace hexora::tools
