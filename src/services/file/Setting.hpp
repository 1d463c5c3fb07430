#pragma once
// The launcher's settings file (".launcher.json" in the storage folder): it
// remembers which API domain and which file domain answered last, so that the
// next run starts its domain rotation there.
//
// Thread: a Setting is created and loaded on the worker thread. Afterwards the
// record may be read and the two indices set from any thread (the download
// units store the file-domain index from their own threads); every accessor
// takes the object's lock, so readers always see a whole record.
// Nothing here throws.
#include "services/file/SettingFormat.hpp"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>

namespace hexora {

class Setting {
public:
    /// Tag of the constructor that takes the file's whole path.
    struct AtPath {
        explicit AtPath() = default;
    };
    static constexpr AtPath atPath{};

    /// The settings file `fileName` in the storage folder: sets `path` to
    /// storagePath() joined with it, starts from the default record and
    /// calls load(), ignoring its result.
    explicit Setting(std::string_view fileName);
    /// The same for the file at `path` (tests keep theirs elsewhere).
    Setting(AtPath, std::filesystem::path path);
    virtual ~Setting() = default;
    Setting(const Setting&) = delete;
    Setting& operator=(const Setting&) = delete;

    /// The largest settings file read: 1 MiB. The launcher writes two indices
    /// and the check-file reasons it read (a few hundred bytes), so a larger
    /// file is a broken one: it is handled as such, without reading it whole.
    static constexpr std::uintmax_t MaxFileBytes = 1u << 20;

    const std::filesystem::path& path() const { return path_; }

    /// A copy of the record in use.
    SettingFormat setting() const;
    void setSetting(SettingFormat record);
    void setApiDsaIndex(std::int64_t index);
    void setCdnDsaIndex(std::int64_t index);

    /// Reads the file into the record. True when the path is a non-empty
    /// regular file of at most MaxFileBytes that decodes as a settings file.
    /// In every other case (missing, a folder, empty, unreadable, larger,
    /// invalid) whatever is at the path
    /// is deleted, the parent folder is created, the record keeps what it held
    /// and the result is false.
    virtual bool load();

    /// Writes the record to `path` in the file's format, atomically (a crash
    /// mid-write leaves the old file or the new one, never a part). False when
    /// encoding or writing failed; callers may ignore it.
    bool write() const;

private:
    const std::filesystem::path path_;
    mutable std::mutex mutex_;
    SettingFormat setting_;
};

}  // namespace hexora
