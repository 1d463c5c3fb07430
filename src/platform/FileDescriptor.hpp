#pragma once
// An open file descriptor that closes itself: one owner, movable, never copied.
//
// Thread: one object is used by one thread at a time. Nothing here throws.
namespace hexora {

class FileDescriptor {
public:
    FileDescriptor() noexcept = default;
    /// Takes ownership of `fd` (a negative value means "none").
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return valid(); }
    /// Gives up ownership without closing; the object then holds none.
    int release() noexcept;
    /// Closes the descriptor now; false when close() reported an error (a
    /// write that did not reach the disk). Holding none is true.
    bool close() noexcept;

private:
    int fd_ = -1;
};

}  // namespace hexora
