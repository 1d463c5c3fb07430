#pragma once
// A unit thread of CUnzip: takes units from the unzipper's jobs until none is
// left and extracts each; logs "Start UnzipThread : " and "Ended UnzipThread
// : " with its description when it begins and ends.
//
// Thread: main() runs on its own std::thread, started and joined by the
// unzipper's run (MultiFile::runUnits), so `unzipper` outlives it.
#include "workers/common/MultiFileWorker.hpp"
#include "workers/common/UnzipUnit.hpp"

#include <string>

namespace hexora::Worker::Common {

class CUnzip;

class UnzipThread : public UnitThread<UnzipUnit> {
public:
    explicit UnzipThread(CUnzip& unzipper);

    void main() override;

    CUnzip& unzipper;

protected:
    void runUnit(const std::shared_ptr<UnzipUnit>& unit) override { unit->unzip(); }

private:
    /// "UnzipThread" and the id of the running thread.
    static std::string description();
};

}  // namespace hexora::Worker::Common
