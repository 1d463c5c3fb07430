#pragma once
// The system's exchange: Linux renameat2() with RENAME_EXCHANGE, called
// through the FileSystem layer. The kernel or the file system may lack it
// (ENOSYS, EINVAL, EOPNOTSUPP), and it never crosses file systems (EXDEV);
// those give NotSupported.
//
// Thread: any thread; stateless.
#include "platform/PathExchange.hpp"

namespace hexora::platform {

class RenameExchange final : public PathExchange {
public:
    Result exchange(const std::filesystem::path& first, const std::filesystem::path& second) override;
};

}  // namespace hexora::platform
