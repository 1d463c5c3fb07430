#pragma once
// A unit thread of CGunzip: takes units from the gunzipper's jobs until none
// is left and runs each to its end.
//
// Thread: main() runs on its own std::thread, started and joined by the
// gunzipper's run (MultiFile::runUnits), so `gunzipper` outlives it.
#include "workers/common/GunzipUnit.hpp"
#include "workers/common/MultiFileWorker.hpp"

namespace hexora::Worker::Common {

class CGunzip;

class GunzipThread : public UnitThread<GunzipUnit> {
public:
    explicit GunzipThread(CGunzip& gunzipper);

    CGunzip& gunzipper;

protected:
    void runUnit(const std::shared_ptr<GunzipUnit>& unit) override { unit->gunzip(); }
};

}  // namespace hexora::Worker::Common
