// A stand-in for a sibling application, built into two bundles for the tests
// and the end-to-end suite: the developer-hub application and a second
// launcher (see CMakeLists.txt). It
//   1. reports "pid=<id>",
//   2. with --record-pid, records its own process id in the developer-hub
//      suite under ".pu" (key and value Base64, as the developer-hub
//      application does to keep the launcher from updating) and reports
//      "recorded .pu=<id>",
//   3. reports "ready" and stays up until SIGTERM or SIGINT (or, with
//      --seconds=N, at most N seconds), then reports "quit=<what ended it>"
//      and exits with 0.
//
// Reports go to standard output, one line each, and also to the file named
// by HEXORA_STANDIN_REPORT when that is set. The suite lives in the user's
// configuration folder ($XDG_CONFIG_HOME).
#include "QuitSignals.hpp"
#include "services/file/PlayerPrefsHelper.hpp"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

namespace {

std::optional<double> seconds(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

class Reporter {
public:
    Reporter() {
        if (const char* path = std::getenv("HEXORA_STANDIN_REPORT")) file_.open(path, std::ios::app);
    }
    void line(const std::string& text) {
        std::cout << text << std::endl;
        if (file_) file_ << text << std::endl;
    }

private:
    std::ofstream file_;
};

}  // namespace

int main(int argc, char** argv) {
    const hexora::tools::QuitSignals quitSignals;

    std::optional<double> stayUp;
    bool recordPid = false;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if (argument.starts_with("--seconds=")) {
            stayUp = seconds(argument.substr(10));
        } else if (argument == "--record-pid") {
            recordPid = true;
        }
    }

    Reporter report;
    const auto pid = std::to_string(::getpid());
    report.line("pid=" + pid);
    if (recordPid) {
        using hexora::PlayerPrefsHelper::Agent;
        Agent(hexora::PlayerPrefsHelper::DeveloperHubSuiteName, Agent::Encoding::Base64).setString(".pu", pid);
        report.line("recorded .pu=" + pid);
    }
    report.line("ready");
    report.line("quit=" + quitSignals.wait(stayUp));
    return 0;
}
