#pragma once
// One unit thread of a CValidation run. main() takes units from the
// validator's jobs until none is left; for each it runs validate() and then
// waits while the unit is Validating.
//
// Thread: main() runs on its own unit thread (MultiFile::runUnits starts it).
// Ownership: refers to its validator, which joins the thread before its
// work() returns. Nothing here throws.
namespace hexora::Worker::Common {

class CValidation;

class ValidationThread {
public:
    explicit ValidationThread(CValidation& validator) : validator(validator) {}

    void main();

    CValidation& validator;
};

}  // namespace hexora::Worker::Common
