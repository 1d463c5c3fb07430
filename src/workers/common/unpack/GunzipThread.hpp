#pragma once
// One unit thread of a CGunzip run. main() takes units from the gunzipper's
// jobs until none is left and runs gunzip() on each (to its end).
//
// Thread: main() runs on its own unit thread (MultiFile::runUnits starts it).
// Ownership: refers to its gunzipper, which joins the thread before its
// work() returns. Nothing here throws.
namespace hexora::Worker::Common {

class CGunzip;

class GunzipThread {
public:
    explicit GunzipThread(CGunzip& gunzipper) : gunzipper(gunzipper) {}

    void main();

    CGunzip& gunzipper;
};

}  // namespace hexora::Worker::Common
