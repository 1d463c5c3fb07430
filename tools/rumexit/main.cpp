// hexora-rum-exit <stream> [async|sync]: appends a record and starts its
// upload, then waits until its standard input closes and returns from main,
// ending the process while the upload may still be in flight.
//   async (the default)  the upload is started with flushAsync
//   sync                 a thread of its own runs flushSync, as a worker
//                        thread's last flush, and is still waiting when
//                        main returns; once that flush is over it flushes
//                        once more (it looks for uploads still in flight)
//                        while the process ends
// The collector comes from HEXORA_RUM_URL, its authority from HEXORA_CA_FILE.
// The launcher's log goes to standard error.
#include "services/http/RequestThreads.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"

#include <spdlog/sinks/stdout_sinks.h>

#include <cstdio>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
    const bool sync = argc == 3 && std::strcmp(argv[2], "sync") == 0;
    if (argc < 2 || argc > 3 || (argc == 3 && !sync && std::strcmp(argv[2], "async") != 0)) {
        std::fputs("usage: hexora-rum-exit <stream> [async|sync]  (ends when stdin closes)\n", stderr);
        return 2;
    }
    using namespace hexora;
    Log::addSink(std::make_shared<spdlog::sinks::stderr_sink_mt>());
    Rum::Api::setStreamName(argv[1]);
    Rum::LogData("RumExit", "exit", "Info", "INFO").addData("Reason", "process ends").append();
    if (sync) {
        // The request layer is set up here, as the launcher's main thread
        // does before its worker runs: the flush thread is never joined.
        (void)RequestThreads::leftRunning();
        std::thread([] {
            Rum::Api::flushSync();
            Rum::Api::flushSync();
        }).detach();
    } else {
        Rum::Api::flushAsync();
    }
    while (std::fgetc(stdin) != EOF) {
    }
    return 0;
}
