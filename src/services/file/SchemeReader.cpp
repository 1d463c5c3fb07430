#include "services/file/SchemeReader.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hexora::SchemeReader {
namespace {

using nlohmann::json;

// One text member: absent, given as a text, or given as something else.
struct TextMember {
    std::string value;
    bool present = false;
    bool text = false;

    bool valid() const { return present && text; }
    void set(std::string&& given) {
        value = std::move(given);
        present = text = true;
    }
    void setOther() {
        value.clear();
        present = true;
        text = false;
    }
};

// The shortest text a file entry can have: {"file":"","directory":"","hash":""},
constexpr std::size_t ShortestEntryBytes = 37;

class Handler final : public nlohmann::json_sax<json> {
public:
    /// `textBytes`: the length of the text to be read, which bounds the entries.
    explicit Handler(std::size_t textBytes) : textBytes_(textBytes) {}

    std::optional<SchemeFormat> result() {
        if (where_ != Where::Done || !version_.valid() || !header_.valid() || !filesSeen_ || !filesValid_)
            return std::nullopt;
        return SchemeFormat{std::move(version_.value), std::move(header_.value), std::move(files_)};
    }

    bool null() override { return onValue(Kind::Scalar, nullptr); }
    bool boolean(bool) override { return onValue(Kind::Scalar, nullptr); }
    bool number_integer(number_integer_t) override { return onValue(Kind::Scalar, nullptr); }
    bool number_unsigned(number_unsigned_t) override { return onValue(Kind::Scalar, nullptr); }
    bool number_float(number_float_t, const string_t&) override { return onValue(Kind::Scalar, nullptr); }
    bool string(string_t& value) override { return onValue(Kind::Text, &value); }
    bool binary(binary_t&) override { return onValue(Kind::Scalar, nullptr); }
    bool start_object(std::size_t) override { return onValue(Kind::Object, nullptr); }
    bool start_array(std::size_t) override { return onValue(Kind::Array, nullptr); }

    bool key(string_t& name) override {
        if (skipping_ == 0) pending_ = slotOf(name);
        return true;
    }

    bool end_object() override {
        if (skipping_ > 0) {
            --skipping_;
        } else if (where_ == Where::Entry) {
            endEntry();
        } else if (where_ == Where::Root) {
            where_ = Where::Done;
        }
        return true;
    }

    bool end_array() override {
        if (skipping_ > 0) --skipping_;
        else if (where_ == Where::Files) where_ = Where::Root;
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    enum class Kind { Scalar, Text, Object, Array };
    enum class Where { Top, Root, Files, Entry, Done };
    enum class Slot { Other, Version, Header, Files, File, Directory, Hash };

    Slot slotOf(const std::string& name) const {
        if (where_ == Where::Root) {
            if (name == "version") return Slot::Version;
            if (name == "header") return Slot::Header;
            if (name == "files") return Slot::Files;
        } else if (where_ == Where::Entry) {
            if (name == "file") return Slot::File;
            if (name == "directory") return Slot::Directory;
            if (name == "hash") return Slot::Hash;
        }
        return Slot::Other;
    }

    bool onValue(Kind kind, std::string* text) {
        const bool container = kind == Kind::Object || kind == Kind::Array;
        if (skipping_ > 0) {
            if (container) ++skipping_;
            return true;
        }
        const Slot slot = std::exchange(pending_, Slot::Other);
        switch (where_) {
        case Where::Top:
            if (kind != Kind::Object) return false;  // no scheme: stop here
            where_ = Where::Root;
            return true;
        case Where::Root:
            if (slot == Slot::Files) return filesValue(kind);
            if (slot == Slot::Version) take(version_, kind, text);
            if (slot == Slot::Header) take(header_, kind, text);
            break;
        case Where::Files:
            if (kind == Kind::Object && filesValid_) {
                entry_ = {};
                where_ = Where::Entry;
                return true;
            }
            invalidateFiles();
            break;
        case Where::Entry:
            if (slot == Slot::File) take(entry_.file, kind, text);
            if (slot == Slot::Directory) take(entry_.directory, kind, text);
            if (slot == Slot::Hash) take(entry_.hash, kind, text);
            break;
        case Where::Done:
            return false;
        }
        if (container) skipping_ = 1;
        return true;
    }

    static void take(TextMember& member, Kind kind, std::string* text) {
        if (kind == Kind::Text) member.set(std::move(*text));
        else member.setOther();
    }

    // A later "files" replaces an earlier one, whatever that held.
    bool filesValue(Kind kind) {
        files_.clear();
        filesSeen_ = true;
        filesValid_ = kind == Kind::Array;
        // Room for as many entries as the text can hold, taken at once: the
        // list is never copied as it grows, and the part no entry fills is
        // never touched, so it costs address space, not memory.
        if (kind == Kind::Array && files_.capacity() == 0) files_.reserve(textBytes_ / ShortestEntryBytes);
        if (kind == Kind::Array) where_ = Where::Files;
        else if (kind == Kind::Object) skipping_ = 1;
        return true;
    }

    void endEntry() {
        where_ = Where::Files;
        if (!entry_.file.valid() || !entry_.directory.valid() || !entry_.hash.valid()) {
            invalidateFiles();
            return;
        }
        files_.push_back({std::move(entry_.file.value), std::move(entry_.directory.value), std::move(entry_.hash.value)});
    }

    // The list holds something that is no file entry: it can make no scheme,
    // so what was read of it goes (the rest is passed over).
    void invalidateFiles() {
        filesValid_ = false;
        files_.clear();
    }

    struct Entry {
        TextMember file;
        TextMember directory;
        TextMember hash;
    };

    std::size_t textBytes_;
    Where where_ = Where::Top;
    Slot pending_ = Slot::Other;
    int skipping_ = 0;
    TextMember version_;
    TextMember header_;
    bool filesSeen_ = false;
    bool filesValid_ = false;
    std::vector<SchemeFileInfo> files_;
    Entry entry_;
};

}  // namespace

std::optional<SchemeFormat> read(std::string_view bytes) {
    Handler handler(bytes.size());
    try {
        if (!json::sax_parse(bytes.begin(), bytes.end(), &handler)) return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;  // out of memory, or a library error on odd input
    }
    return handler.result();
}

}  // namespace hexora::SchemeReader
