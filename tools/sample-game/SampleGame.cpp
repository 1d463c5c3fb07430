// A small stand-in for the game. Started by the launcher with the launcher's
// process id as its one argument and the storage folder as its working
// folder, it
//   1. reports its id, arguments and working folder,
//   2. records its own process id under "CLIENT_PROC_ID" in the game's
//      preference suite (through PlayerPrefsHelper, so Base64-coded),
//   3. reports every "<scheme>_uri" entry it finds there,
//   4. stays up until SIGTERM or SIGINT, or for a set time, and exits with 0.
//
// Reports go to standard output, one line each, and also to the file named
// by HEXORA_SAMPLE_GAME_REPORT when that is set.
//
// Settings (environment; the set time also as "--seconds=N"):
//   HEXORA_SAMPLE_GAME_SECONDS    how long to stay up (default: until told to quit)
//   HEXORA_SAMPLE_GAME_PID_TEXT   what to record: "{pid}" is replaced by the process
//                                 id (default "{pid}"); "none" records nothing
//   HEXORA_SAMPLE_GAME_PID_DELAY  seconds to wait before recording (default 0)
//   HEXORA_SAMPLE_GAME_SCHEMES    schemes whose "_uri" entry is looked at, comma
//                                 separated (default: the schemes the launcher
//                                 bundle registers, "hexoramac,com.tarq.hexora")
#include "QuitSignals.hpp"
#include "product/ProductFacts.hpp"
#include "services/file/PlayerPrefsHelper.hpp"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using hexora::PlayerPrefsHelper::agent;

std::string environment(const char* name, const std::string& fallback = "") {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

std::optional<double> seconds(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

class Reporter {
public:
    explicit Reporter(const std::string& path) {
        if (!path.empty()) file_.open(path, std::ios::app);
    }
    void line(const std::string& text) {
        std::cout << text << std::endl;
        if (file_) file_ << text << std::endl;
    }

private:
    std::ofstream file_;
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        if (!part.empty()) parts.push_back(part);
    }
    return parts;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const hexora::tools::QuitSignals quitSignals;

    std::optional<double> stayUp = seconds(environment("HEXORA_SAMPLE_GAME_SECONDS"));
    std::vector<std::string> arguments;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if (argument.starts_with("--seconds=")) {
            stayUp = seconds(argument.substr(10));
        } else {
            arguments.push_back(argument);
        }
    }

    Reporter report(environment("HEXORA_SAMPLE_GAME_REPORT"));
    const auto pid = std::to_string(::getpid());
    report.line("pid=" + pid);
    report.line("argc=" + std::to_string(arguments.size()));
    for (const auto& argument : arguments) report.line("arg=" + argument);
    std::error_code error;
    report.line("cwd=" + std::filesystem::current_path(error).string());

    if (const auto delay = seconds(environment("HEXORA_SAMPLE_GAME_PID_DELAY"))) {
        timespec pause{static_cast<time_t>(*delay), static_cast<long>((*delay - std::floor(*delay)) * 1e9)};
        while (nanosleep(&pause, &pause) == -1 && errno == EINTR) {
        }
    }
    const auto pidText = environment("HEXORA_SAMPLE_GAME_PID_TEXT", "{pid}");
    if (pidText != "none") {
        const auto recorded = replaceAll(pidText, "{pid}", pid);
        agent().setString("CLIENT_PROC_ID", recorded);
        report.line("recorded CLIENT_PROC_ID=" + recorded);
    }

    std::string launcherSchemes;
    for (const char* scheme : hexora::ProductFacts::UrlSchemes) {
        if (!launcherSchemes.empty()) launcherSchemes += ',';
        launcherSchemes += scheme;
    }
    for (const auto& scheme : split(environment("HEXORA_SAMPLE_GAME_SCHEMES", launcherSchemes), ',')) {
        const auto key = scheme + "_uri";
        const auto uri = agent().getString(key);
        if (!uri.empty()) report.line("uri " + key + "=" + uri);
    }

    report.line("ready");
    report.line("quit=" + quitSignals.wait(stayUp));
    return 0;
}
