#include "services/internal/CSV.hpp"

#include "services/internal/Integers.hpp"
#include "services/internal/ServiceError.hpp"

#include <csv.h>
#include <nlohmann/json.hpp>
#include <unicode/ustring.h>

#include <array>

namespace hexora {
namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

/// Collects the parser's fields into rows.
struct Collector {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> fields;

    static void onField(void* data, std::size_t length, void* self) {
        static_cast<Collector*>(self)->fields.emplace_back(data ? static_cast<const char*>(data) : "", length);
    }
    static void onRowEnd(int, void* self) {
        auto& collector = *static_cast<Collector*>(self);
        collector.records.push_back(std::move(collector.fields));
        collector.fields.clear();
    }
};

// Blanks around cells are part of the cell: " 15" is not "15".
int noSpace(unsigned char) { return 0; }

std::vector<std::vector<std::string>> parseRecords(std::string_view text, char delimiter) {
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) throw ServiceError("CSV.parse", 1, "parser could not start");
    csv_set_delim(&parser, static_cast<unsigned char>(delimiter));
    csv_set_space_func(&parser, noSpace);
    Collector collector;
    const std::size_t parsed = csv_parse(&parser, text.data(), text.size(), Collector::onField, Collector::onRowEnd,
                                         &collector);
    int status = parsed == text.size() ? CSV_SUCCESS : csv_error(&parser);
    if (status == CSV_SUCCESS && csv_fini(&parser, Collector::onField, Collector::onRowEnd, &collector) != 0) {
        status = csv_error(&parser);
    }
    csv_free(&parser);
    if (status != CSV_SUCCESS) {
        throw ServiceError("CSV.parse", 1, std::string(csv_strerror(status)));
    }
    return std::move(collector.records);
}

bool isUtf8(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t needed = 0;
    u_strFromUTF8(nullptr, 0, &needed, text.data(), static_cast<int32_t>(text.size()), &status);
    return status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING || U_SUCCESS(status);
}

}  // namespace

char CSV::guessDelimiter(std::string_view text) {
    constexpr std::array<char, 3> candidates = {',', ';', '\t'};
    std::array<std::size_t, 3> counts{};
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\n' || c == '\r') break;
        for (std::size_t i = 0; i < candidates.size(); ++i) counts[i] += (c == candidates[i]);
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        if (counts[i] > counts[best]) best = i;
    }
    return candidates[best];
}

CSV::CSV(std::string_view text) {
    if (text.substr(0, ByteOrderMark.size()) == ByteOrderMark) text.remove_prefix(ByteOrderMark.size());
    delimiter_ = guessDelimiter(text);
    auto records = parseRecords(text, delimiter_);
    if (records.empty()) return;
    header_ = std::move(records.front());
    for (std::size_t r = 1; r < records.size(); ++r) {
        Row row;
        const auto& fields = records[r];
        for (std::size_t i = 0; i < fields.size() && i < header_.size(); ++i) row.emplace(header_[i], fields[i]);
        rows_.push_back(std::move(row));
    }
}

std::string CSV::getValue(const std::string& column, const std::string& key) const {
    for (const auto& row : rows_) {
        if (row.empty()) continue;
        const auto keyCell = row.find("Key");
        if (keyCell == row.end() || keyCell->second != key) continue;
        const auto cell = row.find(column);
        return cell == row.end() ? std::string() : cell->second;
    }
    throw ServiceError("CSV.getValue", 0, "key not found in csv : " + key);
}

std::int64_t CSV::getInt(const std::string& column, const std::string& key) const {
    const std::string text = getValue(column, key);
    if (const auto value = parseInt64(text)) return *value;
    throw ServiceError("CSV.getInt", 1, "Invalid integer value: " + text);
}

std::vector<std::string> CSV::getStrings(const std::string& column, const std::string& key) const {
    const std::string text = getValue(column, key);
    if (!isUtf8(text)) throw ServiceError("CSV.getStrings", 1, "Invalid string value: " + text);
    return nlohmann::json::parse(text).get<std::vector<std::string>>();
}

}  // namespace hexora
