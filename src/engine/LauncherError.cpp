#include "engine/LauncherError.hpp"

namespace hexora::Worker {

LauncherError& LauncherError::withState(LauncherState value) {
    state = value;
    return *this;
}

LauncherError& LauncherError::withRum(Rum::LogData record) {
    rum = std::move(record);
    return *this;
}

LauncherError& LauncherError::withTerminateWhenAvailable(bool terminate) {
    terminateWhenAvailable = terminate;
    return *this;
}

}  // namespace hexora::Worker
