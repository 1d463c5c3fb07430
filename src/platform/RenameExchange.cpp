#include "platform/RenameExchange.hpp"

#include "platform/FileSystem.hpp"

#include <cerrno>
#include <system_error>

namespace hexora::platform {
namespace {

bool meansNotSupported(int error) {
    return error == ENOSYS || error == EINVAL || error == EOPNOTSUPP || error == ENOTSUP || error == EXDEV;
}

}  // namespace

PathExchange::Result RenameExchange::exchange(const std::filesystem::path& first, const std::filesystem::path& second) {
    if (FileSystem::current()->exchange(first, second) == 0) return Result::Exchanged;
    const int error = errno;
    if (meansNotSupported(error)) return Result::NotSupported;
    throw std::filesystem::filesystem_error("PathExchange: exchange failed", first, second,
                                            std::error_code(error, std::generic_category()));
}

}  // namespace hexora::platform
