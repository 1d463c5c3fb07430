#pragma once
// A configuration table in CSV form: the first row names the columns, one of
// them "Key"; every later row is read as a map from column name to cell text.
// The delimiter is guessed from the header row (comma, semicolon or tab);
// cells may be quoted, with doubled quotes inside ("[""a"",""b""]").
//
// Thread: a parsed table is immutable; any thread may read it.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hexora {

class CSV {
public:
    using Row = std::map<std::string, std::string>;

    /// Parses `text` (a leading UTF-8 byte-order mark is dropped). Throws
    /// ServiceError (domain "CSV.parse", code 1) when a quoted cell is not
    /// closed or the parser fails.
    explicit CSV(std::string_view text);

    /// The delimiter of the first line: whichever of ',', ';' and '\t' occurs
    /// most often outside quotes there; ',' on a tie with it or when none occurs,
    /// else ';' before '\t'.
    static char guessDelimiter(std::string_view text);

    char delimiter() const { return delimiter_; }
    const std::vector<std::string>& header() const { return header_; }
    /// Rows after the header in file order; a row holds only the cells it has
    /// (a short row lacks the last columns, cells beyond the header are dropped).
    const std::vector<Row>& rows() const { return rows_; }

    /// The cell in `column` of the first row whose "Key" cell is `key`; the
    /// empty text when that row has no such cell. Throws ServiceError (domain
    /// "CSV.getValue", code 0, reason "key not found in csv : " + key) when no
    /// row has the key.
    std::string getValue(const std::string& column, const std::string& key) const;

    /// getValue() as a signed 64-bit decimal integer (optional sign, digits
    /// only, no blanks). Throws what getValue() throws, or ServiceError
    /// (domain "CSV.getInt", code 1, reason "Invalid integer value: " + cell).
    std::int64_t getInt(const std::string& column, const std::string& key) const;

    /// getValue() decoded as a JSON array of texts. Throws what getValue()
    /// throws; ServiceError (domain "CSV.getStrings", code 1, reason "Invalid
    /// string value: " + cell) when the cell is not valid UTF-8; and the JSON
    /// library's nlohmann::json::exception, unchanged, when it is not an array
    /// of texts.
    std::vector<std::string> getStrings(const std::string& column, const std::string& key) const;

private:
    char delimiter_ = ',';
    std::vector<std::string> header_;
    std::vector<Row> rows_;
};

}  // namespace hexora
