#pragma once
// Writes zip archives for the unpacking tests with libzip, so every archive
// a test uses is made by the test itself.
#include <zip.h>

#include <ctime>
#include <deque>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

namespace hexora::test {

class ZipBuilder {
public:
    explicit ZipBuilder(const std::filesystem::path& path) {
        int error = 0;
        archive_ = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!archive_) throw std::runtime_error("zip_open failed");
    }
    ~ZipBuilder() {
        if (archive_) zip_discard(archive_);
    }
    ZipBuilder(const ZipBuilder&) = delete;
    ZipBuilder& operator=(const ZipBuilder&) = delete;

    /// A regular file; `mode` sets Unix attributes, `stored` skips compression,
    /// `exactMtime` adds an extended-timestamp extra field.
    ZipBuilder& file(const std::string& name, std::string content, std::optional<mode_t> mode = std::nullopt,
                     bool stored = false, std::optional<std::time_t> exactMtime = std::nullopt) {
        const zip_int64_t index = addData(name, std::move(content));
        if (mode) unixMode(index, S_IFREG | *mode);
        if (stored) zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        if (exactMtime) {
            zip_file_set_mtime(archive_, static_cast<zip_uint64_t>(index), *exactMtime, 0);
            const auto t = static_cast<std::uint32_t>(*exactMtime);
            const zip_uint8_t field[5] = {1, static_cast<zip_uint8_t>(t), static_cast<zip_uint8_t>(t >> 8),
                                          static_cast<zip_uint8_t>(t >> 16), static_cast<zip_uint8_t>(t >> 24)};
            zip_file_extra_field_set(archive_, static_cast<zip_uint64_t>(index), 0x5455, ZIP_EXTRA_FIELD_NEW, field,
                                     sizeof field, ZIP_FL_CENTRAL | ZIP_FL_LOCAL);
        }
        return *this;
    }
    /// A regular file compressed with `method` (ZIP_CM_STORE, ZIP_CM_DEFLATE, ZIP_CM_BZIP2, ...).
    ZipBuilder& fileWith(const std::string& name, std::string content, zip_int32_t method) {
        const zip_int64_t index = addData(name, std::move(content));
        if (zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), method, 0) != 0)
            throw std::runtime_error("compression method not supported");
        return *this;
    }
    ZipBuilder& folder(const std::string& name) {
        if (zip_dir_add(archive_, name.c_str(), ZIP_FL_ENC_UTF_8) < 0) throw std::runtime_error("zip_dir_add failed");
        return *this;
    }
    ZipBuilder& link(const std::string& name, std::string target) {
        unixMode(addData(name, std::move(target)), S_IFLNK | 0777);
        return *this;
    }
    /// Pads the central directory record of the entry added last with a
    /// private extra field of `bytes` (at most 65,531).
    ZipBuilder& directoryPadding(std::size_t bytes) {
        const std::string padding(bytes, 'p');
        if (zip_file_extra_field_set(archive_, lastIndex_, 0x6878, ZIP_EXTRA_FIELD_NEW,
                                     reinterpret_cast<const zip_uint8_t*>(padding.data()),
                                     static_cast<zip_uint16_t>(bytes), ZIP_FL_CENTRAL) != 0)
            throw std::runtime_error("zip_file_extra_field_set failed");
        return *this;
    }
    void close() {
        if (zip_close(archive_) != 0) throw std::runtime_error(zip_error_strerror(zip_get_error(archive_)));
        archive_ = nullptr;
    }

private:
    zip_int64_t addData(const std::string& name, std::string content) {
        contents_.push_back(std::move(content));
        zip_source_t* source = zip_source_buffer(archive_, contents_.back().data(), contents_.back().size(), 0);
        // zip_file_add would reject some unsafe names; ZIP_FL_OVERWRITE keeps it simple.
        const zip_int64_t index = zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(source);
            throw std::runtime_error("zip_file_add failed for " + name);
        }
        lastIndex_ = static_cast<zip_uint64_t>(index);
        return index;
    }
    void unixMode(zip_int64_t index, mode_t mode) {
        zip_file_set_external_attributes(archive_, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                         static_cast<zip_uint32_t>(mode) << 16);
    }

    zip_t* archive_ = nullptr;
    zip_uint64_t lastIndex_ = 0;
    std::deque<std::string> contents_;
};

}  // namespace hexora::test
