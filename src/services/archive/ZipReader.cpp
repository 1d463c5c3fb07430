#include "services/archive/ZipReader.hpp"

#include "services/archive/ZipExtract.hpp"

#include <sys/stat.h>

namespace hexora::Archive {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t MaxLinkTargetSize = 4096;
// What libzip keeps per directory entry besides its variable fields (seen
// as about 450 bytes for short names).
constexpr std::uint64_t EntryRecordBytes = 512;
constexpr zip_uint16_t ExtendedTimestampId = 0x5455;

using ZipExtract::Error;

std::string codeText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::optional<std::time_t> extendedMtime(zip_t* archive, zip_uint64_t index) {
    for (zip_flags_t where : {ZIP_FL_CENTRAL, ZIP_FL_LOCAL}) {
        zip_uint16_t length = 0;
        const zip_uint8_t* data = zip_file_extra_field_get_by_id(archive, index, ExtendedTimestampId, 0, &length, where);
        if (data && length >= 5 && (data[0] & 1)) {
            const std::uint32_t value = static_cast<std::uint32_t>(data[1]) | (static_cast<std::uint32_t>(data[2]) << 8) |
                                        (static_cast<std::uint32_t>(data[3]) << 16) |
                                        (static_cast<std::uint32_t>(data[4]) << 24);
            return static_cast<std::time_t>(static_cast<std::int32_t>(value));
        }
    }
    return std::nullopt;
}

// The variable fields libzip holds for the entry: its comment and the
// central directory's extra fields.
std::uint64_t variableDirectoryBytes(zip_t* archive, zip_uint64_t index) {
    std::uint64_t bytes = 0;
    zip_uint32_t commentLength = 0;
    if (zip_file_get_comment(archive, index, &commentLength, ZIP_FL_ENC_RAW)) bytes += commentLength;
    const zip_int16_t fields = zip_file_extra_fields_count(archive, index, ZIP_FL_CENTRAL);
    for (zip_int16_t i = 0; i < fields; ++i) {
        zip_uint16_t length = 0;
        if (zip_file_extra_field_get(archive, index, static_cast<zip_uint16_t>(i), nullptr, &length, ZIP_FL_CENTRAL))
            bytes += length + 4u;
    }
    return bytes;
}

}  // namespace

ZipReader::ZipReader(const fs::path& zipPath, bool checkConsistency) : path_(zipPath) {
    int code = 0;
    archive_.reset(zip_open(zipPath.c_str(), ZIP_RDONLY | (checkConsistency ? ZIP_CHECKCONS : 0), &code));
    if (!archive_) throw Error("cannot open archive " + zipPath.string() + ": " + codeText(code));
}

zip_uint64_t ZipReader::count() const {
    const std::lock_guard guard(lock_);
    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    if (count < 0)
        throw Error("cannot read archive " + path_.string() + ": " + zip_error_strerror(zip_get_error(archive_.get())));
    return static_cast<zip_uint64_t>(count);
}

ZipEntry ZipReader::describe(zip_uint64_t index) const {
    const std::lock_guard guard(lock_);
    zip_t* archive = archive_.get();
    ZipEntry entry;
    entry.index = index;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, ZIP_FL_ENC_GUESS, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
        throw Error("cannot read entry " + std::to_string(index) + ": " + zip_error_strerror(zip_get_error(archive)));
    entry.name = stat.name;
    if (stat.valid & ZIP_STAT_SIZE) entry.size = stat.size;
    if (stat.valid & ZIP_STAT_COMP_SIZE) entry.compressedSize = stat.comp_size;
    if (stat.valid & ZIP_STAT_COMP_METHOD) entry.method = stat.comp_method;
    if (stat.valid & ZIP_STAT_CRC) entry.crc = stat.crc;
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        throw Error("encrypted entry in archive: " + entry.name);

    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    mode_t type = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &opsys, &attributes) == 0 && opsys == ZIP_OPSYS_UNIX) {
        const mode_t unixMode = static_cast<mode_t>(attributes >> 16);
        type = unixMode & S_IFMT;
        if ((unixMode & 0777) != 0) entry.mode = unixMode & 0777;
    }
    if (!entry.name.empty() && entry.name.back() == '/') entry.kind = ZipEntry::Kind::Folder;
    else if (type == S_IFLNK) entry.kind = ZipEntry::Kind::Link;
    else if (type == S_IFDIR) entry.kind = ZipEntry::Kind::Folder;

    entry.directoryBytes = EntryRecordBytes + entry.name.size() + variableDirectoryBytes(archive, index);
    entry.mtime = extendedMtime(archive, index);
    if (!entry.mtime && (stat.valid & ZIP_STAT_MTIME)) entry.mtime = stat.mtime;
    return entry;
}

std::string ZipReader::readLinkTarget(const ZipEntry& entry) const {
    if (entry.size > MaxLinkTargetSize) throw Error("symbolic link target too long: " + entry.name);
    EntryStream stream = open(entry, false);
    std::string target(static_cast<std::size_t>(entry.size), '\0');
    std::size_t done = 0;
    while (done < target.size()) {
        const std::size_t got = stream.read(target.data() + done, target.size() - done);
        if (got == 0) break;
        done += got;
    }
    char rest;
    stream.read(&rest, 1);
    stream.close();
    target.resize(done);
    return target;
}

ZipReader::EntryStream ZipReader::open(const ZipEntry& entry, bool stored) const {
    const std::lock_guard guard(lock_);
    zip_file_t* file = zip_fopen_index(archive_.get(), entry.index, stored ? ZIP_FL_COMPRESSED : 0);
    if (!file)
        throw Error("cannot open entry " + entry.name + ": " + zip_error_strerror(zip_get_error(archive_.get())));
    return EntryStream(file, entry.name, lock_);
}

void ZipReader::EntryStream::LockedCloser::operator()(zip_file_t* file) const {
    const std::lock_guard guard(*lock);
    zip_fclose(file);
}

std::size_t ZipReader::EntryStream::read(void* buffer, std::size_t size) {
    const std::lock_guard guard(lock());
    const zip_int64_t got = zip_fread(file_.get(), buffer, size);
    if (got < 0) throw Error("cannot extract " + name_ + ": " + zip_error_strerror(zip_file_get_error(file_.get())));
    return static_cast<std::size_t>(got);
}

void ZipReader::EntryStream::close() {
    const std::lock_guard guard(lock());
    const int code = zip_fclose(file_.release());
    if (code != 0) throw Error("cannot extract " + name_ + ": " + codeText(code));
}

}  // namespace hexora::Archive
