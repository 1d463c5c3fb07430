#include "platform/FileDescriptor.hpp"

#include <unistd.h>

namespace hexora {

FileDescriptor::~FileDescriptor() { close(); }

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int FileDescriptor::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool FileDescriptor::close() noexcept {
    if (fd_ < 0) return true;
    // The descriptor is gone after close() whatever it returns, also on EINTR.
    return ::close(release()) == 0;
}

}  // namespace hexora
