#include "platform/FileSystem.hpp"

#include "platform/LayerSlot.hpp"
#include "platform/PosixFileSystem.hpp"

namespace hexora::platform {
namespace {
using Slot = LayerSlot<FileSystem, PosixFileSystem>;
}  // namespace

std::shared_ptr<FileSystem> FileSystem::current() { return Slot::current(); }

void FileSystem::install(std::shared_ptr<FileSystem> fileSystem) { Slot::install(std::move(fileSystem)); }

}  // namespace hexora::platform
