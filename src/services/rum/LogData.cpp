#include "services/rum/LogData.hpp"

#include "platform/Clock.hpp"
#include "services/file/PlayerPrefsHelper.hpp"
#include "services/internal/Dates.hpp"
#include "services/internal/DeviceInfo.hpp"
#include "services/internal/JSON.hpp"
#include "services/internal/Log.hpp"
#include "services/rum/RumApi.hpp"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <memory>

namespace hexora::Rum {
namespace {
// `text` without the leading and trailing code points that `strip` accepts.
// A byte that is not UTF-8 is never stripped.
template <typename Strip>
std::string trimmed(const std::string& text, Strip strip) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c = 0;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !strip(c)) break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c = 0;
        U8_PREV(bytes, begin, previous, c);
        if (c < 0 || !strip(c)) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

bool isBlank(UChar32 c) { return u_isblank(c); }
bool isWhiteSpaceOrLineBreak(UChar32 c) { return u_isUWhiteSpace(c); }

// "\r\n" becomes "\n", then every "\n" goes: a lone "\r" stays.
std::string withoutLineFeeds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (text[i] != '\n') out += text[i];
    }
    return out;
}

// The first `limit` grapheme clusters of `text`. Every cluster takes at least
// one byte, so a text of at most `limit` bytes is never cut.
std::string firstCharacters(const std::string& text, int limit) {
    if (text.size() <= static_cast<std::size_t>(limit)) return text;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status) || !characters) {
        utext_close(utext);
        return text;
    }
    characters->setText(utext, status);
    int32_t boundary = 0;
    for (int counted = 0; counted < limit && boundary != icu::BreakIterator::DONE; ++counted) {
        boundary = characters->next();
    }
    characters.reset();
    utext_close(utext);
    if (U_FAILURE(status) || boundary == icu::BreakIterator::DONE) return text;
    return text.substr(0, static_cast<std::size_t>(boundary));
}
}  // namespace

LogData::LogData(std::string minorType, std::string event, std::string eventState, std::string logLevel)
    : MinorType(std::move(minorType)),
      Event(std::move(event)),
      EventState(std::move(eventState)),
      TimeStamp(formatDate(platform::Clock::current()->now(), "UTC", "yyyy-MM-dd'T'HH:mm:ss.SSS")),
      LogLevel(std::move(logLevel)) {}

LogData& LogData::addData(const std::string& key, const std::string& value) {
    const std::string trimmedValue = trimmed(value, isBlank);
    if (Data && Data->is_object() && Data->contains(key)) return *this;
    if (trimmedValue.empty()) return *this;
    if (key == "Type") {
        aType = trimmedValue;
        return *this;
    }
    if (!Data || !Data->is_object()) Data = nlohmann::ordered_json::object();
    (*Data)[key] = firstCharacters(withoutLineFeeds(trimmedValue), MaxMessageSize);
    return *this;
}

std::optional<std::string> LogData::dataValue(const std::string& key) const {
    if (!Data || !Data->is_object()) return std::nullopt;
    const auto found = Data->find(key);
    if (found == Data->end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

nlohmann::ordered_json LogData::encode() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["Sender"] = Sender;
    json["LogVer"] = LogVer;
    json["Platform"] = Platform;
    json["MajorType"] = MajorType;
    json["MinorType"] = MinorType;
    json["Event"] = Event;
    json["EventState"] = EventState;
    json["TimeStamp"] = TimeStamp;
    json["DeviceId"] = DeviceId;
    if (Guid) json["Guid"] = *Guid;
    if (!aType.empty()) json["Type"] = aType;
    json["LogLevel"] = LogLevel;
    if (Data) json["Data"] = JSON(*Data).encode();
    if (RawData) json["RawData"] = *RawData;
    return json;
}

LogData LogData::withIdentity() const {
    LogData record = *this;
    const std::string deviceId = DeviceInfo::currentDeviceId();
    if (!trimmed(deviceId, isWhiteSpaceOrLineBreak).empty()) {
        record.DeviceId = deviceId;
        record.Guid.reset();
    } else {
        record.DeviceId.clear();
        record.Guid = PlayerPrefsHelper::agent().getString("GUID");
    }
    return record;
}

void LogData::append() const {
    LogData record = withIdentity();
    Api::Request single;
    single.Data.push_back(record);
    Log::info("Rum.LogData.append: " + single.encodedText().value_or("failed to encode log data"));
    Api::enqueue(std::move(record));
}

}  // namespace hexora::Rum
