#include "e2e/LauncherWorld.hpp"

#include "e2e/ProcessScan.hpp"
#include "platform/InfoPlist.hpp"
#include "platform/PlistPreferenceStore.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "support/SampleGame.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace hexora::e2e {
namespace {

const std::filesystem::path BuiltLauncher = HEXORA_LAUNCHER_BUNDLE_DIR;
const std::filesystem::path PackageTool = std::filesystem::path(HEXORA_TOOLS_BIN_DIR) / "hexora-package";
const char* const GameSuite = "com.tarq.hexora.mac.game";

std::vector<std::string> lines(const std::filesystem::path& file) {
    std::vector<std::string> result;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

void writeAtomically(const std::filesystem::path& file, const std::string& content) {
    std::filesystem::create_directories(file.parent_path());
    const auto temporary = file.string() + ".part";
    std::ofstream(temporary, std::ios::binary) << content;
    std::filesystem::rename(temporary, file);
}

std::string utcText(std::time_t when) {
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// Replaces the text values of the version keys of an XML Info.plist.
void setPlistVersion(const std::filesystem::path& plist, const std::string& version) {
    std::string text = hexora::test::readFile(plist);
    bool changed = false;
    for (const std::string key : {"CFBundleShortVersionString", "CFBundleVersion"}) {
        const auto keyAt = text.find("<key>" + key + "</key>");
        if (keyAt == std::string::npos) continue;
        const auto open = text.find("<string>", keyAt);
        const auto close = text.find("</string>", open);
        if (open == std::string::npos || close == std::string::npos) continue;
        text.replace(open + 8, close - open - 8, version);
        changed = true;
    }
    if (!changed) throw std::runtime_error("no version key in " + plist.string());
    std::ofstream(plist, std::ios::binary | std::ios::trunc) << text;
}

// Bytes that do not compress, so a package of them is as large on the wire.
void writeRandomFile(const std::filesystem::path& file, std::size_t size) {
    std::filesystem::create_directories(file.parent_path());
    std::mt19937_64 random(size);
    std::string data(size, '\0');
    for (auto& byte : data) byte = static_cast<char>(random());
    std::ofstream(file, std::ios::binary) << data;
}

void copyTree(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::create_directories(to.parent_path());
    std::filesystem::copy(from, to, std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
}

}  // namespace

std::string currentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return "e2e";
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
}

LauncherWorld::LauncherWorld(std::string name) : name_(std::move(name)) {
    adoptOrphans();
    for (const auto& folder : {configHome(), dataHome(), logs(), shots(), root() / "home", root() / "cache",
                               root() / "tmp", root() / "work"}) {
        std::filesystem::create_directories(folder);
    }
    std::filesystem::create_directories(root() / "runtime");
    ::chmod((root() / "runtime").c_str(), 0700);
    copyTree(BuiltLauncher, launcherBundle());
    display_ = std::make_unique<test::XvfbServer>(logs() / "xvfb.log");
    service_ = std::make_unique<tools::UpdateService>(tools::ServiceLayout(root() / "service"));
    writeRemoteConfiguration();
}

LauncherWorld::~LauncherWorld() {
    for (const pid_t pid : processesBelow(root())) ::kill(pid, SIGKILL);
    waitUntil([&] { return processesBelow(root()).empty(); }, 10s);
    reapEndedChildren();
    keepArtefacts();
    service_.reset();
    display_.reset();
}

void LauncherWorld::setWebTimeout(int seconds) {
    webTimeoutSec_ = seconds;
    writeRemoteConfiguration();
}

void LauncherWorld::writeRemoteConfiguration() const {
    // A JSON array in a CSV cell: its quotes doubled.
    std::string apis = "[";
    for (const auto& url : service_->apiUrls()) {
        if (apis.size() > 1) apis += ",";
        apis += "\"\"";
        apis += url;
        apis += "\"\"";
    }
    apis += "]";
    writeAtomically(service_->layout().files / "config/hexora_config.csv",
                    "Key,Global\n"
                    "timeout_sec_web," + std::to_string(webTimeoutSec_) + "\n"
                    "timeout_sec_web_upload,30\n"
                    "timeout_sec_web_download,60\n"
                    "url_retry_count_web,1\n"
                    "url_api2,\"" + apis + "\"\n");
}

std::string LauncherWorld::builtLauncherVersion() {
    const auto version = platform::InfoPlist::readString(BuiltLauncher / "Contents/Info.plist", "CFBundleShortVersionString");
    if (!version) throw std::runtime_error("no version in the built launcher's Info.plist");
    return *version;
}

std::filesystem::path LauncherWorld::makeGame(const std::string& version, std::size_t extraBytes) {
    const auto folder = root() / "work" / ("game-" + version + (extraBytes ? "-large" : ""));
    if (std::filesystem::exists(folder / "Hexora.app")) return folder / "Hexora.app";
    hexora::test::layOutSampleGame(folder, version);
    std::filesystem::create_directories(folder / "Hexora.app/Contents/Resources");
    std::ofstream(folder / "Hexora.app/Contents/Resources/readme.txt") << "Hexora sample game " << version << "\n";
    if (extraBytes) writeRandomFile(folder / "Hexora.app/Contents/Resources/data.bin", extraBytes);
    return folder / "Hexora.app";
}

std::filesystem::path LauncherWorld::makeLauncher(const std::string& version, std::size_t extraBytes) {
    const auto bundle = root() / "work" / ("launcher-" + version + (extraBytes ? "-large" : "")) / "Hexora.app";
    if (!std::filesystem::exists(bundle)) {
        copyTree(BuiltLauncher, bundle);
        setPlistVersion(bundle / "Contents/Info.plist", version);
        if (extraBytes) writeRandomFile(bundle / "Contents/Resources/data.bin", extraBytes);
    }
    return bundle;
}

std::string LauncherWorld::higherLauncherVersion() {
    auto version = builtLauncherVersion();
    const auto dot = version.rfind('.');
    const auto last = version.substr(dot == std::string::npos ? 0 : dot + 1);
    return version.substr(0, version.size() - last.size()) + std::to_string(std::stoi(last) + 1);
}

std::string LauncherWorld::publish(const std::filesystem::path& bundle, const std::string& version,
                                   const std::string& hash, const std::optional<std::string>& name,
                                   const std::optional<std::filesystem::path>& smartBase) {
    std::vector<std::string> arguments = {"--bundle", bundle.string(), "--version", version, "--hash", hash,
                                          "--out", service_->layout().files.string()};
    if (name) arguments.insert(arguments.end(), {"--name", *name});
    if (smartBase) arguments.insert(arguments.end(), {"--smart-base", smartBase->string()});
    const auto log = logs() / "packages.log";
    ChildProcess tool(PackageTool, arguments, environment(), root(), log);
    const auto status = tool.waitForExit(120s);
    if (!status || *status != 0) {
        throw std::runtime_error("hexora-package failed for " + bundle.string() + ":\n" + hexora::test::readFile(log));
    }
    return name.value_or(version);
}

void LauncherWorld::answer(int platform, const nlohmann::json& reply) {
    const auto file = service_->layout().confFile();
    auto answers = nlohmann::json::parse(hexora::test::readFile(file), nullptr, false);
    if (!answers.is_object()) answers = nlohmann::json::object();
    if (reply.is_null()) {
        answers.erase(std::to_string(platform));
    } else {
        answers[std::to_string(platform)] = reply;
    }
    writeAtomically(file, answers.dump(2));
}

void LauncherWorld::offerCurrentLauncher() {
    const auto version = builtLauncherVersion();
    const auto hash = "launcher-" + version;
    if (!std::filesystem::exists(service_->layout().files / "update" / hash / "scheme.json.gz")) {
        publish(BuiltLauncher, version, hash);
    }
    answer(LauncherPlatform, {{"result", 1}, {"version", version}, {"hash", hash}});
}

void LauncherWorld::offerGame(const std::string& gameVersion, std::size_t extraBytes) {
    const auto hash = "game-" + gameVersion + (extraBytes ? "-large" : "");
    publish(makeGame(gameVersion, extraBytes), gameVersion, hash);
    answer(GamePlatform, {{"result", 1}, {"version", gameVersion}, {"hash", hash}, {"file", gameVersion}});
}

void LauncherWorld::setMaintenance(bool open) {
    const std::time_t now = std::time(nullptr);
    const nlohmann::json notice = open ? nlohmann::json{{"start_dt", utcText(now - 3600)}, {"end_dt", utcText(now + 3600)}, {"eng", "maintenance"}}
                                       : nlohmann::json{{"start_dt", utcText(now - 3 * 3600)}, {"end_dt", utcText(now - 2 * 3600)}, {"eng", "maintenance"}};
    writeAtomically(service_->layout().files / "config/maintenance.txt", notice.dump());
}

void LauncherWorld::installGame(const std::string& version) {
    std::filesystem::remove_all(gameBundle());
    copyTree(makeGame(version), gameBundle());
}

ChildProcess::Environment LauncherWorld::environment(const ChildProcess::Environment& extra) const {
    ChildProcess::Environment environment = {
        {"PATH", "/usr/local/bin:/usr/bin:/bin"},
        {"HOME", (root() / "home").string()},
        {"XDG_CONFIG_HOME", configHome().string()},
        {"XDG_DATA_HOME", dataHome().string()},
        {"XDG_CACHE_HOME", (root() / "cache").string()},
        {"XDG_RUNTIME_DIR", (root() / "runtime").string()},
        {"TMPDIR", (root() / "tmp").string()},
        {"LANG", "C.UTF-8"},
        {"TZ", "UTC"},
        {"HEXORA_SHELL_TRACE", "1"},
        {"HEXORA_SAMPLE_GAME_REPORT", (logs() / "game-report.txt").string()},
        {"HEXORA_SAMPLE_GAME_SECONDS", std::to_string(gameSeconds_)},
    };
    if (diskReserveBytes_) environment["HEXORA_DISK_RESERVE_BYTES"] = std::to_string(*diskReserveBytes_);
    // Sanitizer builds: the settings of the test run, and no reports of the
    // leaks inside the system libraries the Qt shell loads.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) environment[name] = value;
    }
    const std::string suppressions = "suppressions=" HEXORA_LSAN_SUPPRESSIONS;
    environment["LSAN_OPTIONS"] = environment.count("LSAN_OPTIONS")
                                      ? environment["LSAN_OPTIONS"] + ":" + suppressions
                                      : suppressions;
    if (display_->available()) {
        environment["DISPLAY"] = display_->display();
        environment["QT_QPA_PLATFORM"] = "xcb";
    } else {
        environment["QT_QPA_PLATFORM"] = "offscreen";
    }
    for (const auto& [name, value] : service_->environment()) environment[name] = value;
    for (const auto& [name, value] : extra) environment[name] = value;
    return environment;
}

ChildProcess LauncherWorld::startLauncher(const std::vector<std::string>& arguments,
                                          const ChildProcess::Environment& extra) {
    const auto log = logs() / ("launcher-" + std::to_string(++launcherStarts_) + ".log");
    runMark_ = collectedBatches(service_->layout().collector());
    return ChildProcess(launcherExecutable(), arguments, environment(extra), launcherBundle().parent_path(), log);
}

std::string LauncherWorld::runToGame(const std::vector<std::string>& arguments) {
    const int before = gameStartsReady();
    auto launcher = startLauncher(arguments);
    if (!waitForGameStarts(before + 1)) {
        return "the game was not started; launcher " +
               (launcher.running() ? std::string("still running") : describeStatus(*launcher.waitForExit(0ms))) +
               "\nroad:\n" + road();
    }
    const auto status = launcher.waitForExit(60s);
    if (!status) return "the launcher did not quit after starting the game\nroad:\n" + road();
    if (*status != 0 && *status != -1) return "the launcher ended with " + describeStatus(*status) + "\nroad:\n" + road();
    if (!waitForNoLauncher()) return "a launcher still runs after the game start\nroad:\n" + road();
    return "";
}

std::string LauncherWorld::runToFailure(ChildProcess& launcher) const {
    const auto ended = [&] {
        const auto all = runRecords();
        return hasRecord(all, "WorkerThread", "terminated", "Succeeded") ||
               hasRecord(all, "WorkerThread", "terminated with terminating app", "Succeeded");
    };
    if (!waitUntil([&] { return ended() || !launcher.running(); }, 60s)) {
        return "the run did not end\nroad:\n" + road();
    }
    if (!launcher.running()) return "the launcher quit instead of staying open\nroad:\n" + road();
    if (!hasRecord(runRecords(), "WorkerThread", "terminated", "Succeeded")) {
        return "the run ended asking to terminate\nroad:\n" + road();
    }
    return "";
}

std::string LauncherWorld::installedGameVersion() const {
    return platform::InfoPlist::readString(gameBundle() / "Contents/Info.plist", "CFBundleShortVersionString").value_or("");
}

std::string LauncherWorld::installedLauncherVersion() const {
    return platform::InfoPlist::readString(launcherBundle() / "Contents/Info.plist", "CFBundleShortVersionString")
        .value_or("");
}

std::vector<pid_t> LauncherWorld::launchersRunning() const {
    // A launcher whose bundle was patched runs on from its executable's new
    // place (the backup in the data folder), so the program's name tells.
    std::vector<pid_t> launchers;
    const auto game = gameBundle().string() + "/";
    for (const pid_t pid : processesBelow(root())) {
        std::error_code error;
        auto path = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).string();
        if (path.ends_with(" (deleted)")) path.resize(path.size() - 10);
        if (!error && std::filesystem::path(path).filename() == "Hexora" && !path.starts_with(game)) {
            launchers.push_back(pid);
        }
    }
    return launchers;
}

bool LauncherWorld::waitForNoLauncher(std::chrono::milliseconds limit) const {
    return waitUntil([&] { return launchersRunning().empty(); }, limit);
}

bool LauncherWorld::downloadUnderWay() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(storage() / "temp", error)) {
        if (entry.is_regular_file(error) && entry.file_size(error) > 0) return true;
    }
    return false;
}

std::vector<std::string> LauncherWorld::gameReport() const { return lines(logs() / "game-report.txt"); }

int LauncherWorld::gameStartsReady() const {
    int count = 0;
    for (const auto& line : gameReport()) count += line == "ready";
    return count;
}

bool LauncherWorld::waitForGameStarts(int count, std::chrono::milliseconds limit) const {
    return waitUntil([&] { return gameStartsReady() >= count; }, limit);
}

std::vector<std::string> LauncherWorld::lastGameReport() const {
    const auto all = gameReport();
    std::vector<std::string> last;
    for (const auto& line : all) {
        if (line.starts_with("pid=")) last.clear();
        last.push_back(line);
    }
    return last;
}

void LauncherWorld::stopGames() {
    for (const pid_t pid : processesRunning(gameExecutable())) ::kill(pid, SIGTERM);
    if (!waitUntil([&] { return processesRunning(gameExecutable()).empty(); }, 10s)) {
        for (const pid_t pid : processesRunning(gameExecutable())) ::kill(pid, SIGKILL);
    }
    reapEndedChildren();
}

std::vector<Record> LauncherWorld::records() const { return collectedRecords(service_->layout().collector()); }

std::vector<Record> LauncherWorld::runRecords() const {
    return collectedRecords(service_->layout().collector(), runMark_);
}

bool LauncherWorld::waitForRunRecord(const std::string& minorType, const std::string& event,
                                     const std::string& eventState, std::chrono::milliseconds limit) const {
    return waitUntil([&] { return hasRecord(runRecords(), minorType, event, eventState); }, limit);
}

bool LauncherWorld::waitForRecord(const std::string& minorType, const std::string& event,
                                  const std::string& eventState, std::chrono::milliseconds limit) const {
    return waitUntil([&] { return hasRecord(records(), minorType, event, eventState); }, limit);
}

std::string LauncherWorld::road() const {
    std::string text = describeRoad(records());
    if (launcherStarts_ > 0) {
        const auto log = hexora::test::readFile(logs() / ("launcher-" + std::to_string(launcherStarts_) + ".log"));
        text += "latest launcher output:\n" + (log.size() > 4000 ? "..." + log.substr(log.size() - 4000) : log);
    }
    return text;
}

int LauncherWorld::apiRequests(int platform) const {
    int count = 0;
    for (const auto& line : lines(service_->layout().requestLog())) {
        const auto request = nlohmann::json::parse(line, nullptr, false);
        if (!request.is_object() || !request.value("domain", "").starts_with("api-")) continue;
        const auto body = nlohmann::json::parse(request.value("body", ""), nullptr, false);
        count += body.is_object() && body.value("platform", -1) == platform;
    }
    return count;
}

int LauncherWorld::fileRequests(const std::string& needle) const {
    int count = 0;
    for (const auto& line : lines(service_->layout().logs() / "files.access.log")) {
        count += line.find(needle) != std::string::npos;
    }
    return count;
}

int LauncherWorld::heldFileRequests(const std::string& needle) const {
    int count = 0;
    for (const auto& line : lines(service_->layout().heldFileRequestLog())) count += line.find(needle) != std::string::npos;
    return count;
}

bool LauncherWorld::logged(const std::string& text) const {
    if (launcherStarts_ == 0) return false;
    for (const auto& line : lines(launcherLog(launcherStarts_))) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

bool LauncherWorld::shown(const std::string& prefix) const { return shownByStart(launcherStarts_, prefix); }

bool LauncherWorld::shownByStart(int start, const std::string& prefix) const {
    if (start < 1 || start > launcherStarts_) return false;
    const auto wanted = "ViewController.setMessage: " + prefix;
    for (const auto& line : lines(launcherLog(start))) {
        if (line.find(wanted) != std::string::npos) return true;
    }
    return false;
}

std::filesystem::path LauncherWorld::launcherLog(int start) const {
    return logs() / ("launcher-" + std::to_string(start) + ".log");
}

bool LauncherWorld::waitForShown(const std::string& prefix, std::chrono::milliseconds limit) const {
    return waitUntil([&] { return shown(prefix); }, limit);
}

bool LauncherWorld::screenshot(const std::string& name) const { return display_->screenshot(shots() / (name + ".png")); }

std::optional<std::string> LauncherWorld::gamePreference(const std::string& key) const {
    platform::PlistPreferenceStore store(configHome());
    auto suite = store.open(GameSuite);
    if (!suite) return std::nullopt;
    const auto stored = suite->stringForKey(PlayerPrefsHelper::base64Encode(key));
    if (!stored) return std::nullopt;
    return PlayerPrefsHelper::base64Decode(*stored);
}

void LauncherWorld::setPreference(const std::string& suiteName, const std::string& key, const std::string& value) const {
    platform::PlistPreferenceStore store(configHome());
    auto suite = store.open(suiteName);
    if (!suite) throw std::runtime_error("cannot open suite " + suiteName);
    suite->setString(PlayerPrefsHelper::base64Encode(key), PlayerPrefsHelper::base64Encode(value));
}

void LauncherWorld::keepArtefacts() const {
    const char* chosen = std::getenv("HEXORA_E2E_OUTPUT");
    const std::string output = chosen && *chosen ? chosen : HEXORA_E2E_OUTPUT_DIR;
    const auto target = std::filesystem::path(output) / name_;
    std::error_code ignored;
    std::filesystem::remove_all(target, ignored);
    std::filesystem::create_directories(target, ignored);
    const auto& layout = service_->layout();
    for (const auto& [from, to] : std::vector<std::pair<std::filesystem::path, std::string>>{
             {logs(), "logs"}, {shots(), "shots"}, {layout.logs(), "service-logs"},
             {layout.collector(), "collector"}, {layout.confFile(), "conf.json"}}) {
        if (std::filesystem::exists(from, ignored)) {
            std::filesystem::copy(from, target / to, std::filesystem::copy_options::recursive, ignored);
        }
    }
}

}  // namespace hexora::e2e
