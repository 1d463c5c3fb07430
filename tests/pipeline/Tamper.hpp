#pragma once
// Changes one entry of a zip package in place, so that the package no longer
// matches the scheme it carries.
#include <zip.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace hexora::test {

inline void replaceZipEntry(const std::filesystem::path& zipPath, const std::string& entry, const std::string& content) {
    int error = 0;
    zip_t* archive = zip_open(zipPath.c_str(), 0, &error);
    if (!archive) throw std::runtime_error("cannot open " + zipPath.string());
    const zip_int64_t index = zip_name_locate(archive, entry.c_str(), 0);
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    if (index < 0 || !source || zip_file_replace(archive, static_cast<zip_uint64_t>(index), source, 0) != 0 ||
        zip_close(archive) != 0) {
        zip_discard(archive);
        throw std::runtime_error("cannot replace " + entry);
    }
}

}  // namespace hexora::test
