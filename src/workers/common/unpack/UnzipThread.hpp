#pragma once
// One unit thread of a CUnzip run. main() logs "Start UnzipThread : " with
// "<UnzipThread: thread id>", takes units from the unzipper's jobs until none
// is left and runs unzip() on each (to its end), then logs
// "Ended UnzipThread : " the same way.
//
// Thread: main() runs on its own unit thread (MultiFile::runUnits starts it).
// Ownership: refers to its unzipper, which joins the thread before its
// work() returns. Nothing here throws.
namespace hexora::Worker::Common {

class CUnzip;

class UnzipThread {
public:
    explicit UnzipThread(CUnzip& unzipper) : unzipper(unzipper) {}

    void main();

    CUnzip& unzipper;
};

}  // namespace hexora::Worker::Common
