#include "engine/ErrorDescription.hpp"

namespace hexora {

std::string describeError(const std::exception_ptr& error) {
    if (!error) return "";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& caught) {
        return caught.what();
    } catch (...) {
        return "unknown error";
    }
}

}  // namespace hexora
