// hexora-update-service: the local update service of the demo and the
// end-to-end tests (see UpdateService.hpp), in the foreground until SIGTERM
// or SIGINT.
//
//   hexora-update-service --dir <state folder> [--files <folder to serve>]
//
// Prints the endpoint variables once everything listens and writes them to
// <state folder>/service.env (the sign that the service is ready).
//
//   hexora-update-service --road <collector folder> [--skip <batches>]
//
// Prints the telemetry records the collector kept (leaving out the first
// batches), one a line: time, step, event, state; then exits.
#include "CollectorFolder.hpp"
#include "UpdateService.hpp"

#include <signal.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {
int usage() {
    std::cerr << "usage: hexora-update-service --dir <state folder> [--files <folder to serve>]\n"
                 "       hexora-update-service --road <collector folder> [--skip <batches>]\n";
    return 2;
}

std::string member(const nlohmann::json& record, const char* key) {
    return record.contains(key) && record[key].is_string() ? record[key].get<std::string>() : "";
}

int printRoad(const std::filesystem::path& folder, std::size_t skip) {
    for (const auto& record : hexora::tools::CollectorFolder(folder).records(skip)) {
        std::cout << member(record, "TimeStamp") << "  " << member(record, "MinorType") << "  "
                  << member(record, "Event") << "  " << member(record, "EventState") << "\n";
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path dir, files, road;
    std::size_t skip = 0;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if ((argument == "--dir" || argument == "--files" || argument == "--road") && index + 1 < argc) {
            (argument == "--dir" ? dir : argument == "--files" ? files : road) = std::filesystem::absolute(argv[++index]);
        } else if (argument == "--skip" && index + 1 < argc) {
            skip = std::strtoul(argv[++index], nullptr, 10);
        } else {
            return usage();
        }
    }
    if (!road.empty()) return printRoad(road, skip);
    if (dir.empty()) return usage();

    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGINT);
    sigaddset(&quit, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &quit, nullptr);
    signal(SIGPIPE, SIG_IGN);
    try {
        hexora::tools::UpdateService service(hexora::tools::ServiceLayout(dir, files));
        for (const auto& [name, value] : service.environment()) std::cout << name << "=" << value << "\n";
        std::cout << "files: " << service.layout().files.string() << "\n"
                  << "state: " << service.layout().dir.string() << std::endl;
        int signal = 0;
        sigwait(&quit, &signal);
        service.stop();
    } catch (const std::exception& error) {
        std::cerr << "hexora-update-service: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
