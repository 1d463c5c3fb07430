#pragma once
// The process-wide opened-URL flag: set by the Launcher driver when it queues
// the URL hand-off worker, read by Launcher::start, cleared by the hand-off
// worker when it gives the road back to the boot checks.
//
// Thread: any; reads and writes are atomic.
namespace hexora::OpenedUrlFlag {

bool isSet();
void set(bool value);

}  // namespace hexora::OpenedUrlFlag
