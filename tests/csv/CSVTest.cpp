#include "services/internal/CSV.hpp"
#include "services/internal/ServiceError.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace hexora {
namespace {

// The shape of the remote configuration table, one variant per delimiter.
const std::string commaTable =
    "Key,Global,Local\n"
    "timeout_sec_web,30,10\n"
    "url_retry_count_web,+15,1\n"
    "spaced, 15,1\n"
    "url_api2,\"[\"\"https://a.test\"\",\"\"https://b.test\"\"]\",[]\n"
    "empty_list,[],\n"
    "duplicate,first,x\n"
    "duplicate,second,y\n"
    "short\n"
    "decimal,1.5,\n"
    "huge,9223372036854775808,-9223372036854775808\n";

std::string withDelimiter(std::string text, char delimiter) {
    // Swap the comma delimiters outside quotes; the JSON cell keeps its commas.
    bool quoted = false;
    for (char& c : text) {
        if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) c = delimiter;
    }
    return text;
}

/// Runs `operation` and returns the ServiceError it throws.
template <typename Operation>
ServiceError errorOf(Operation operation) {
    try {
        operation();
    } catch (const ServiceError& error) {
        return error;
    }
    ADD_FAILURE() << "no ServiceError thrown";
    return ServiceError("", -1, "");
}

}  // namespace

class CSVTable : public ::testing::TestWithParam<char> {
protected:
    CSV table{withDelimiter(commaTable, GetParam())};
};

TEST_P(CSVTable, DelimiterIsGuessedAndCellsRead) {
    EXPECT_EQ(table.delimiter(), GetParam());
    EXPECT_EQ(table.header(), (std::vector<std::string>{"Key", "Global", "Local"}));
    EXPECT_EQ(table.getValue("Global", "timeout_sec_web"), "30");
    EXPECT_EQ(table.getValue("Local", "timeout_sec_web"), "10");
    EXPECT_EQ(table.getInt("Global", "timeout_sec_web"), 30);
    EXPECT_EQ(table.getStrings("Global", "url_api2"), (std::vector<std::string>{"https://a.test", "https://b.test"}));
}

TEST_P(CSVTable, FirstOfTwoRowsWithOneKeyWins) {
    EXPECT_EQ(table.getValue("Global", "duplicate"), "first");
    EXPECT_EQ(table.getValue("Local", "duplicate"), "x");
}

TEST_P(CSVTable, KeyRowWithoutTheColumnReadsEmptyThenFailsAsInteger) {
    EXPECT_EQ(table.getValue("Global", "short"), "");
    EXPECT_EQ(table.getValue("NoSuchColumn", "timeout_sec_web"), "");
    const auto error = errorOf([&] { table.getInt("Global", "short"); });
    EXPECT_EQ(error.domain(), "CSV.getInt");
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.reason(), "Invalid integer value: ");
}

TEST_P(CSVTable, MissingKeyFailsEveryLookup) {
    for (const auto& lookup : std::vector<std::function<void()>>{
             [&] { table.getValue("Global", "timeout_sec_web_upload"); },
             [&] { table.getInt("Global", "timeout_sec_web_upload"); },
             [&] { table.getStrings("Global", "timeout_sec_web_upload"); },
             // The header row is not a key row.
             [&] { table.getValue("Global", "Key"); },
         }) {
        const auto error = errorOf(lookup);
        EXPECT_EQ(error.domain(), "CSV.getValue");
        EXPECT_EQ(error.code(), 0);
        EXPECT_THAT(error.reason(), ::testing::StartsWith("key not found in csv : "));
    }
    EXPECT_EQ(errorOf([&] { table.getValue("Global", "nope"); }).reason(), "key not found in csv : nope");
}

TEST_P(CSVTable, IntegerCells) {
    EXPECT_EQ(table.getInt("Global", "url_retry_count_web"), 15);
    EXPECT_EQ(table.getInt("Local", "huge"), INT64_MIN);
    for (const char* key : {"spaced", "decimal", "huge", "url_api2"}) {
        const auto error = errorOf([&] { table.getInt("Global", key); });
        EXPECT_EQ(error.domain(), "CSV.getInt") << key;
        EXPECT_EQ(error.reason(), "Invalid integer value: " + table.getValue("Global", key)) << key;
    }
    EXPECT_EQ(errorOf([&] { table.getInt("Global", "spaced"); }).reason(), "Invalid integer value:  15");
}

TEST_P(CSVTable, ListCells) {
    EXPECT_TRUE(table.getStrings("Global", "empty_list").empty());
    EXPECT_TRUE(table.getStrings("Local", "url_api2").empty());
    // Not a JSON array of texts: the decoder's own error comes through.
    EXPECT_THROW(table.getStrings("Global", "timeout_sec_web"), nlohmann::json::exception);
    EXPECT_THROW(table.getStrings("Global", "duplicate"), nlohmann::json::exception);
    EXPECT_THROW(table.getStrings("Global", "short"), nlohmann::json::exception);
}

INSTANTIATE_TEST_SUITE_P(Delimiters, CSVTable, ::testing::Values(',', ';', '\t'), [](const auto& info) {
    return info.param == ',' ? std::string("Comma") : info.param == ';' ? std::string("Semicolon") : std::string("Tab");
});

TEST(CSV, GuessDelimiterFromTheHeaderRow) {
    struct Case {
        const char* text;
        char delimiter;
    };
    const Case cases[] = {
        {"Key,Global\na;b;c;d\n", ','},      // only the first line counts
        {"Key;Global;Local\n", ';'},
        {"Key\tGlobal\n", '\t'},
        {"Key\n", ','},                      // nothing to go by
        {"", ','},
        {"Key;\"a,b,c\";x\n", ';'},          // delimiters inside quotes do not count
        {"Key,Global;Local\n", ','},         // a tie goes to the comma
        {"Key;Global\tLocal\n", ';'},
        {"Key;Global;X\r\nA,B,C,D,E\r\n", ';'},
    };
    for (const auto& c : cases) EXPECT_EQ(CSV::guessDelimiter(c.text), c.delimiter) << c.text;
}

TEST(CSV, QuotedCellsAndLineEndings) {
    const CSV table(
        "\xEF\xBB\xBFKey,Global\r\n"
        "quoted,\"a, \"\"b\"\"\nnext line\"\r\n"
        "\r\n"
        "blank,\r\n"
        "spaces,  padded  \r\n"
        "last,no newline");
    EXPECT_EQ(table.getValue("Global", "quoted"), "a, \"b\"\nnext line");
    EXPECT_EQ(table.getValue("Global", "blank"), "");
    EXPECT_EQ(table.getValue("Global", "spaces"), "  padded  ");
    EXPECT_EQ(table.getValue("Global", "last"), "no newline");
}

TEST(CSV, RowsAreMapsOfTheCellsTheyHave) {
    const CSV table("Key,Global\nlong,1,extra,more\nshort\n");
    ASSERT_EQ(table.rows().size(), 2u);
    EXPECT_EQ(table.rows()[0], (CSV::Row{{"Key", "long"}, {"Global", "1"}}));
    EXPECT_EQ(table.rows()[1], (CSV::Row{{"Key", "short"}}));
}

TEST(CSV, TableWithoutKeyColumnFindsNothing) {
    const CSV table("Name,Global\ntimeout_sec_web,30\n");
    EXPECT_EQ(errorOf([&] { table.getValue("Global", "timeout_sec_web"); }).domain(), "CSV.getValue");
    const CSV empty("");
    EXPECT_TRUE(empty.header().empty());
    EXPECT_EQ(errorOf([&] { empty.getValue("Global", "x"); }).domain(), "CSV.getValue");
}

TEST(CSV, MalformedQuotingIsAParseError) {
    const char* texts[] = {
        "Key,Global\nurl_api2,\"[\"\"a\"\"]\n",   // quote never closed
        "Key;Global\nurl_api2;[\"a\",\"b\"]\n",     // quotes in a cell that is not quoted
        "Key,Global\nx,\"a\"b\n",                 // text after the closing quote
    };
    for (const char* text : texts) {
        const auto error = errorOf([&] { CSV table(text); });
        EXPECT_EQ(error.domain(), "CSV.parse") << text;
        EXPECT_EQ(error.code(), 1) << text;
    }
}

TEST(CSV, ListCellThatIsNotUtf8) {
    const CSV table("Key,Global\nbad,\"[\"\"\xff\xfe\"\"]\"\n");
    const auto error = errorOf([&] { table.getStrings("Global", "bad"); });
    EXPECT_EQ(error.domain(), "CSV.getStrings");
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.reason(), "Invalid string value: [\"\xff\xfe\"]");
}

}  // namespace hexora
