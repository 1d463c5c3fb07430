// hexora-update-service: the local update service of the demo and the
// end-to-end tests (see UpdateService.hpp), in the foreground until SIGTERM
// or SIGINT.
//
//   hexora-update-service --dir <state folder> [--files <folder to serve>]
//
// Prints the endpoint variables once everything listens and writes them to
// <state folder>/service.env (the sign that the service is ready).
#include "UpdateService.hpp"

#include <signal.h>

#include <cstring>
#include <iostream>
#include <string>

namespace {
int usage() {
    std::cerr << "usage: hexora-update-service --dir <state folder> [--files <folder to serve>]\n";
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path dir, files;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if ((argument == "--dir" || argument == "--files") && index + 1 < argc) {
            (argument == "--dir" ? dir : files) = std::filesystem::absolute(argv[++index]);
        } else {
            return usage();
        }
    }
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
