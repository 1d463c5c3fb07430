#include "package/PackageZip.hpp"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <sys/stat.h>

namespace hexora::tools {

PackageZip::PackageZip(const std::filesystem::path& path) : path_(path.string()) {
    int error = 0;
    archive_ = zip_open(path_.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive_) throw std::runtime_error("cannot create " + path_);
}

PackageZip::~PackageZip() {
    if (archive_) zip_discard(archive_);
}

void PackageZip::setMode(zip_int64_t index, mode_t mode) {
    if (zip_file_set_external_attributes(archive_, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                         static_cast<zip_uint32_t>(mode) << 16) != 0)
        throw std::runtime_error(std::string("cannot set the mode: ") + zip_strerror(archive_));
}

zip_int64_t PackageZip::add(const std::string& name, zip_source_t* source) {
    if (!source) throw std::runtime_error("cannot read the content of " + name);
    const zip_int64_t index = zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        throw std::runtime_error("cannot add " + name + ": " + zip_strerror(archive_));
    }
    return index;
}

void PackageZip::addFolder(const std::string& name, mode_t permissions) {
    const zip_int64_t index = zip_dir_add(archive_, name.c_str(), ZIP_FL_ENC_UTF_8);
    if (index < 0) throw std::runtime_error("cannot add " + name + ": " + zip_strerror(archive_));
    setMode(index, S_IFDIR | permissions);
}

void PackageZip::addFile(const std::string& name, const std::filesystem::path& source, mode_t permissions) {
    setMode(add(name, zip_source_file(archive_, source.c_str(), 0, -1)), S_IFREG | permissions);
}

void PackageZip::addText(const std::string& name, const std::string& content, mode_t permissions) {
    // ZIP_SOURCE_BUFFER copies nothing: keep the bytes alive through a malloc'd copy libzip frees.
    void* copy = std::malloc(content.size() ? content.size() : 1);
    if (!copy) throw std::bad_alloc();
    if (!content.empty()) std::memcpy(copy, content.data(), content.size());
    setMode(add(name, zip_source_buffer(archive_, copy, content.size(), 1)), S_IFREG | permissions);
}

void PackageZip::addLink(const std::string& name, const std::string& target) {
    void* copy = std::malloc(target.size() ? target.size() : 1);
    if (!copy) throw std::bad_alloc();
    if (!target.empty()) std::memcpy(copy, target.data(), target.size());
    const zip_int64_t index = add(name, zip_source_buffer(archive_, copy, target.size(), 1));
    zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    setMode(index, S_IFLNK | 0777);
}

void PackageZip::close() {
    if (zip_close(archive_) != 0) throw std::runtime_error("cannot write " + path_ + ": " + zip_strerror(archive_));
    archive_ = nullptr;
}

}  // namespace hexora::tools
