#include "workers/common/GunzipThread.hpp"

#include "workers/common/CGunzip.hpp"

namespace hexora::Worker::Common {

GunzipThread::GunzipThread(CGunzip& owner) : UnitThread(owner.jobs), gunzipper(owner) {}

}  // namespace hexora::Worker::Common
