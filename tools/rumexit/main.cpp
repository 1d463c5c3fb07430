// hexora-rum-exit <stream>: appends a record, starts its upload with
// flushAsync, then waits until its standard input closes and returns from
// main, ending the process while the upload may still be in flight. The
// collector comes from HEXORA_RUM_URL, its authority from HEXORA_CA_FILE.
#include "services/rum/LogData.hpp"
#include "services/rum/RumApi.hpp"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: hexora-rum-exit <stream>  (ends when stdin closes)\n", stderr);
        return 2;
    }
    using namespace hexora;
    Rum::Api::setStreamName(argv[1]);
    Rum::LogData("RumExit", "exit", "Info", "INFO").addData("Reason", "process ends").append();
    Rum::Api::flushAsync();
    while (std::fgetc(stdin) != EOF) {
    }
    return 0;
}
