#pragma once
// One end-to-end world: a temporary folder holding a copy of the built
// launcher bundle, the user's configuration, data, home and runtime folders,
// a local update service of its own (own ports, own certificate authority)
// and, where Xvfb is installed, a private X server. The launcher runs as the
// real program, started as a user starts it, with only these folders and
// endpoints in its environment. Nothing is written outside the folder but the
// test's artefacts (screenshots, logs, the collector's batches), copied at the
// end to <build>/e2e-output/<test name> ($HEXORA_E2E_OUTPUT replaces the folder).
//
// Thread: the test thread only.
#include "e2e/Collector.hpp"
#include "support/ChildProcess.hpp"
#include "support/Eventually.hpp"
#include "support/TempDir.hpp"
#include "support/XvfbServer.hpp"
#include "UpdateService.hpp"

#include <nlohmann/json.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hexora::e2e {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::describeStatus;

/// An end-to-end wait: test::eventually with a look every 20 ms (the
/// conditions scan processes, files and windows). True as soon as `condition`
/// holds; false when `limit` passed first.
inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    return test::eventually(condition, limit, 20ms);
}

constexpr int LauncherPlatform = 32;
constexpr int GamePlatform = 33;

class LauncherWorld {
public:
    /// `name` names the artefact folder (usually the test's full name).
    explicit LauncherWorld(std::string name);
    ~LauncherWorld();
    LauncherWorld(const LauncherWorld&) = delete;
    LauncherWorld& operator=(const LauncherWorld&) = delete;

    // Where things are.
    const std::filesystem::path& root() const { return temp_.path(); }
    std::filesystem::path launcherBundle() const { return root() / "Applications" / "Hexora.app"; }
    std::filesystem::path launcherExecutable() const { return launcherBundle() / "Contents/MacOS/Hexora"; }
    std::filesystem::path storage() const { return launcherBundle() / "storage"; }
    std::filesystem::path gameBundle() const { return storage() / "Hexora.app"; }
    std::filesystem::path gameExecutable() const { return gameBundle() / "Contents/MacOS/Hexora"; }
    std::filesystem::path configHome() const { return root() / "config"; }
    std::filesystem::path dataHome() const { return root() / "data"; }
    std::filesystem::path logs() const { return root() / "logs"; }
    std::filesystem::path shots() const { return root() / "shots"; }
    tools::UpdateService& service() { return *service_; }
    test::XvfbServer& display() { return *display_; }

    // What the service offers.
    /// The version in the built launcher's Info.plist.
    static std::string builtLauncherVersion();
    /// Makes a sample-game bundle of `version` (with Contents/Resources/readme.txt,
    /// and `extraBytes` of data in Contents/Resources/data.bin when not 0) in
    /// the world's work folder.
    std::filesystem::path makeGame(const std::string& version, std::size_t extraBytes = 0);
    /// A copy of the built launcher whose Info.plist carries `version` (with
    /// `extraBytes` of data in Contents/Resources/data.bin when not 0).
    std::filesystem::path makeLauncher(const std::string& version, std::size_t extraBytes = 0);
    /// The built launcher's version with its last part one higher.
    static std::string higherLauncherVersion();
    /// Publishes a package of `bundle` under update/<hash>/ (hexora-package):
    /// full, or smart against `smartBase`. Returns the package name.
    std::string publish(const std::filesystem::path& bundle, const std::string& version, const std::string& hash,
                        const std::optional<std::string>& name = std::nullopt,
                        const std::optional<std::filesystem::path>& smartBase = std::nullopt);
    /// Sets the API's answer for a platform (null removes it).
    void answer(int platform, const nlohmann::json& reply);
    /// The usual answers: the launcher current at the built version (with its
    /// scheme published) and the game at `gameVersion` (published as a full
    /// package, also built here).
    void offerCurrentLauncher();
    void offerGame(const std::string& gameVersion, std::size_t extraBytes = 0);
    /// Writes config/maintenance.txt with a window around now (open) or in the past.
    void setMaintenance(bool open);
    /// Sets the remote configuration's web timeout (timeout_sec_web, 15 s at first).
    void setWebTimeout(int seconds);
    /// Lays the sample game of `version` into the storage folder, as an earlier run would have.
    void installGame(const std::string& version);

    // Running.
    /// The environment the launcher gets (plus `extra`).
    ChildProcess::Environment environment(const ChildProcess::Environment& extra = {}) const;
    /// Starts the launcher bundle's executable, as a user's double-click would.
    ChildProcess startLauncher(const std::vector<std::string>& arguments = {},
                               const ChildProcess::Environment& extra = {});
    /// Starts the launcher and waits until it has started the game once more
    /// and no launcher of this world runs. Empty on success, else what went
    /// wrong with the road taken (for the assertion message).
    std::string runToGame(const std::vector<std::string>& arguments = {});
    /// Starts the launcher and waits until its run ended (the collector holds
    /// the "terminated" record of a run that keeps the window open). Empty on
    /// success, else what went wrong; the launcher is left running. The window
    /// may draw the run's last state just after that record arrives: check it
    /// with waitForShown().
    std::string runToFailure(ChildProcess& launcher) const;
    /// Live launcher processes of this world (also one whose bundle was
    /// patched under it).
    std::vector<pid_t> launchersRunning() const;
    /// Waits until no launcher of this world runs.
    bool waitForNoLauncher(std::chrono::milliseconds limit = 60s) const;
    /// Whether storage/temp holds a file with data: a download is under way.
    bool downloadUnderWay() const;

    /// CFBundleShortVersionString of the installed game and of the launcher bundle.
    std::string installedGameVersion() const;
    std::string installedLauncherVersion() const;

    // The sample game's report (pid, arguments, "ready", URIs, ...), all runs.
    std::vector<std::string> gameReport() const;
    /// Number of game starts that reached "ready".
    int gameStartsReady() const;
    bool waitForGameStarts(int count, std::chrono::milliseconds limit = 60s) const;
    /// The report lines of the latest game start.
    std::vector<std::string> lastGameReport() const;
    /// Ends every game process of this world and waits for them.
    void stopGames();
    /// How long the started game stays up (seconds), for the next launcher start.
    void setGameSeconds(double seconds) { gameSeconds_ = seconds; }
    /// The free space the launcher's downloads leave on their disk (its
    /// production reserve is larger than the tests' small file systems).
    void setDiskReserveBytes(std::uint64_t bytes) { diskReserveBytes_ = bytes; }

    // What the collector has: records() of the whole test, runRecords() of the
    // batches received since the latest startLauncher().
    std::vector<Record> records() const;
    std::vector<Record> runRecords() const;
    bool waitForRecord(const std::string& minorType, const std::string& event, const std::string& eventState = "",
                       std::chrono::milliseconds limit = 60s) const;
    /// Waits for a record among runRecords().
    bool waitForRunRecord(const std::string& minorType, const std::string& event, const std::string& eventState = "",
                          std::chrono::milliseconds limit = 60s) const;
    /// The records, one a line, for failure messages.
    std::string road() const;
    /// API requests received for a platform, from the service's request log.
    int apiRequests(int platform) const;
    /// Requests the file domains served, from nginx's access log (lines containing `needle`).
    int fileRequests(const std::string& needle) const;
    /// File requests held by a "hang" switch, as they arrived (request lines containing `needle`).
    int heldFileRequests(const std::string& needle) const;
    /// Whether the output of the latest launcher start holds a line containing `text`.
    bool logged(const std::string& text) const;

    /// Whether the window of a launcher run since the latest startLauncher()
    /// showed a text beginning with `prefix` (the shell's trace; line breaks in
    /// the text are written as \r and \n).
    bool shown(const std::string& prefix) const;
    /// The same for the `start`-th launcher started by the test (from 1).
    bool shownByStart(int start, const std::string& prefix) const;
    /// How many launchers the test started, and the output of the `start`-th.
    int launcherStarts() const { return launcherStarts_; }
    std::filesystem::path launcherLog(int start) const;
    bool waitForShown(const std::string& prefix, std::chrono::milliseconds limit = 60s) const;

    /// Screenshot of the display, kept with the artefacts; false without a display.
    bool screenshot(const std::string& name) const;
    /// The game's preference suite entry (keys and values Base64 in the file).
    std::optional<std::string> gamePreference(const std::string& key) const;
    /// Writes an entry of a preference suite as a given application would (Base64 key and value).
    void setPreference(const std::string& suite, const std::string& key, const std::string& value) const;

private:
    void keepArtefacts() const;
    void writeRemoteConfiguration() const;

    std::string name_;
    hexora::test::TempDir temp_;
    std::unique_ptr<test::XvfbServer> display_;
    std::unique_ptr<tools::UpdateService> service_;
    double gameSeconds_ = 60;
    int webTimeoutSec_ = 15;
    std::optional<std::uint64_t> diskReserveBytes_;
    int launcherStarts_ = 0;
    std::size_t runMark_ = 0;
};

/// The test's full name, "Suite.Test".
std::string currentTestName();

}  // namespace hexora::e2e
