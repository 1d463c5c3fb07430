#include "workers/common/UnzipThread.hpp"

#include "services/internal/Log.hpp"
#include "workers/common/CUnzip.hpp"

#include <sstream>
#include <thread>

namespace hexora::Worker::Common {

UnzipThread::UnzipThread(CUnzip& owner) : UnitThread(owner.jobs), unzipper(owner) {}

std::string UnzipThread::description() {
    std::ostringstream text;
    text << "<UnzipThread: " << std::this_thread::get_id() << ">";
    return text.str();
}

void UnzipThread::main() {
    Log::info("Start UnzipThread : " + description());
    UnitThread::main();
    Log::info("Ended UnzipThread : " + description());
}

}  // namespace hexora::Worker::Common
