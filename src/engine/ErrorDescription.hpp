#pragma once
// The readable text of a caught error, as the logs and telemetry records show
// it: what() of a std::exception, else a fixed text.
#include <exception>
#include <string>

namespace hexora {

/// Text of the error held by `error`; "" for a null pointer.
std::string describeError(const std::exception_ptr& error);

}  // namespace hexora
