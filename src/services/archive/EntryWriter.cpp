#include "services/archive/EntryWriter.hpp"

#include "platform/FileOps.hpp"
#include "services/archive/ZipExtract.hpp"

#include <isa-l/crc.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string_view>

namespace hexora::Archive {
namespace fs = std::filesystem;
using ZipExtract::Error;

namespace {

constexpr std::size_t InputSize = 128 * 1024;
constexpr std::size_t OutputSize = 256 * 1024;

std::string systemError(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

}  // namespace

EntryWriter::EntryWriter(ZipReader& reader, ExtractionProgress& progress, std::function<bool()> isCancelled,
                         std::uint64_t keepFreeBytes)
    : reader_(reader),
      progress_(progress),
      isCancelled_(std::move(isCancelled)),
      freeSpace_(keepFreeBytes),
      input_(InputSize),
      output_(OutputSize) {}

Error EntryWriter::noRoom(const fs::path& path) const {
    return Error("cannot write " + path.string() + ": the unzip would leave less than " +
                 std::to_string(freeSpace_.reserveBytes()) + " bytes free on its disk");
}

void EntryWriter::checkCancelled() const {
    if (isCancelled_ && isCancelled_()) throw Error("extraction cancelled");
}

void EntryWriter::write(const ZipEntry& entry, const fs::path& path) {
    checkCancelled();
    FileDescriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out) throw Error(systemError("cannot create", path));
    // A new file takes a block of its own however small it is: counted so,
    // a package of many tiny files keeps the reserve as well as a large one.
    if (!freeSpace_.admits(out.get(), NewFileBytes)) throw noRoom(path);

    const bool deflated = entry.method == ZIP_CM_DEFLATE;
    // Deflated and stored data are read as stored; libzip inflates any other method.
    ZipReader::EntryStream stream = reader_.open(entry, deflated || entry.method == ZIP_CM_STORE);
    std::uint32_t crc = 0;
    const std::uint64_t written =
        deflated ? inflateInto(stream, entry, out.get(), path) : copyInto(stream, entry, out.get(), path, crc);
    if (deflated) crc = inflater_.crc();
    stream.close();
    if (written != entry.size) throw Error("cannot extract " + entry.name + ": size does not match the directory");
    if (crc != entry.crc) throw Error("cannot extract " + entry.name + ": CRC error");

    if (::fchmod(out.get(), entry.mode.value_or(0644)) != 0) throw Error(systemError("cannot set permissions of", path));
    if (entry.mtime) {
        const timespec times[2] = {{*entry.mtime, 0}, {*entry.mtime, 0}};
        ::futimens(out.get(), times);
    }
    if (!out.close()) throw Error(systemError("cannot write", path));
}

void EntryWriter::output(const ZipEntry& entry, int fd, const fs::path& path, const std::uint8_t* data, std::size_t size,
                         std::uint64_t& written) {
    if (size > entry.size - written) throw Error("cannot extract " + entry.name + ": size does not match the directory");
    if (!freeSpace_.admits(fd, size)) throw noRoom(path);
    if (!FileOps::writeAll(fd, std::string_view(reinterpret_cast<const char*>(data), size)))
        throw Error(systemError("cannot write", path));
    written += size;
    progress_.add(size);
}

std::uint64_t EntryWriter::inflateInto(ZipReader::EntryStream& stream, const ZipEntry& entry, int fd,
                                       const fs::path& path) {
    inflater_.reset();
    std::uint64_t written = 0;
    std::size_t at = 0;
    std::size_t length = 0;
    bool end = false;
    for (;;) {
        checkCancelled();
        if (at == length && !end) {
            length = stream.read(input_.data(), input_.size());
            at = 0;
            end = length == 0;
        }
        RawInflate::Step step;
        try {
            step = inflater_.inflate(input_.data() + at, length - at, output_.data(), output_.size());
        } catch (const Error&) {
            throw Error("cannot extract " + entry.name + ": corrupt deflate data");
        }
        at += step.consumed;
        output(entry, fd, path, output_.data(), step.produced, written);
        if (step.finished) return written;
        if (step.consumed == 0 && step.produced == 0) {
            if (at < length) throw Error("cannot extract " + entry.name + ": corrupt deflate data");
            if (end) throw Error("cannot extract " + entry.name + ": truncated deflate data");
        }
    }
}

std::uint64_t EntryWriter::copyInto(ZipReader::EntryStream& stream, const ZipEntry& entry, int fd, const fs::path& path,
                                    std::uint32_t& crc) {
    std::uint64_t written = 0;
    for (;;) {
        checkCancelled();
        const std::size_t got = stream.read(output_.data(), output_.size());
        if (got == 0) return written;
        crc = crc32_gzip_refl(crc, output_.data(), got);
        output(entry, fd, path, output_.data(), got, written);
    }
}

}  // namespace hexora::Archive
