#pragma once
// A unit thread of CValidation: takes units from the validator's jobs until
// none is left and validates each (the check runs to its end on this thread).
//
// Thread: main() runs on its own std::thread, started and joined by the
// validator's run (MultiFile::runUnits), so `validator` outlives it.
#include "workers/common/MultiFileWorker.hpp"
#include "workers/common/ValidationUnit.hpp"

namespace hexora::Worker::Common {

class CValidation;

class ValidationThread : public UnitThread<ValidationUnit> {
public:
    explicit ValidationThread(CValidation& validator);

    CValidation& validator;

protected:
    void runUnit(const std::shared_ptr<ValidationUnit>& unit) override;
};

}  // namespace hexora::Worker::Common
