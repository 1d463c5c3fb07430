#include "services/internal/JSON.hpp"
#include "services/internal/JSONCodingKeys.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace hexora {
namespace {
using Value = JSON::Value;

TEST(JSONEncode, KeepsKindsOrderAndNesting) {
    Value dictionary = Value::object();
    dictionary["zeta"] = "text";
    dictionary["alpha"] = 7;
    dictionary["mid"] = 2.5;
    dictionary["flag"] = false;
    dictionary["none"] = nullptr;
    dictionary["list"] = Value::array({1, "two", Value::object({{"three", 3}}), Value::array()});
    dictionary["empty"] = Value::object();

    EXPECT_EQ(JSON(dictionary).dump(),
              R"({"zeta":"text","alpha":7,"mid":2.5,"flag":false,"none":null,)"
              R"("list":[1,"two",{"three":3},[]],"empty":{}})");
}

TEST(JSONEncode, SingleValuesAndAbsence) {
    struct Case {
        Value value;
        std::string text;
    };
    const Case cases[] = {
        {Value(), "null"},
        {Value::object(), "{}"},
        {Value::array(), "[]"},
        {Value("a\"b"), R"("a\"b")"},
        {Value(-3), "-3"},
        {Value(0.25), "0.25"},
        {Value(true), "true"},
        // Above the signed range an unsigned number is written as a real.
        {Value(std::numeric_limits<std::uint64_t>::max()), "1.8446744073709552e+19"},
    };
    for (const auto& c : cases) EXPECT_EQ(JSON(c.value).dump(), c.text) << c.value.dump();
    EXPECT_TRUE(JSON().isAbsent());
}

TEST(JSONEncode, ValueOfNoKindIsNullInsideItsContainer) {
    Value dictionary = Value::object();
    dictionary["blob"] = Value::binary({1, 2, 3});
    dictionary["kept"] = "yes";
    EXPECT_EQ(JSON(dictionary).dump(), R"({"blob":null,"kept":"yes"})");
}

TEST(JSONEncode, RealThatIsNotFiniteFailsTheWholeEncoding) {
    for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        Value nested = Value::object({{"outer", Value::array({1, Value::object({{"inner", bad}})})}});
        EXPECT_THROW(JSON(nested).encode(), JSON::EncodingError);
        EXPECT_THROW(JSON(Value(bad)).dump(), JSON::EncodingError);
    }
}

TEST(JSONEncode, TextThatIsNotUtf8IsWrittenWithReplacementCharacters) {
    EXPECT_EQ(JSON(Value(std::string("a\xff" "b"))).dump(), "\"a\xEF\xBF\xBD" "b\"");
}

TEST(JSONCodingKeysTest, TextKeysHaveNoIntegerAndIntegerKeysTheirDecimalText) {
    const JSONCodingKeys fromText(std::string("42"));
    EXPECT_EQ(fromText.stringValue, "42");
    EXPECT_EQ(fromText.intValue, std::nullopt);
    for (const std::int64_t number : {std::int64_t{0}, std::int64_t{-7}, std::numeric_limits<std::int64_t>::max()}) {
        const JSONCodingKeys fromNumber(number);
        EXPECT_EQ(fromNumber.stringValue, std::to_string(number));
        EXPECT_EQ(fromNumber.intValue, number);
    }
}

TEST(JSONDecode, ObjectMembersTakeIntegerBeforeRealAndKeepNull) {
    const JSON decoded = JSON::parse(R"({"i":1,"r":1.5,"s":"text","b":true,"n":null,"o":{"deep":[2,null]}})");
    const Value& value = decoded.value;
    ASSERT_TRUE(value.is_object());
    EXPECT_TRUE(value["i"].is_number_integer());
    EXPECT_EQ(value["i"].get<std::int64_t>(), 1);
    EXPECT_TRUE(value["r"].is_number_float());
    EXPECT_DOUBLE_EQ(value["r"].get<double>(), 1.5);
    EXPECT_EQ(value["s"], "text");
    EXPECT_EQ(value["b"], true);
    ASSERT_TRUE(value.contains("n"));
    EXPECT_TRUE(value["n"].is_null());
    EXPECT_EQ(value["o"]["deep"], Value::array({2, nullptr}));
    // Member order survives decoding.
    EXPECT_EQ(decoded.dump(), R"({"i":1,"r":1.5,"s":"text","b":true,"n":null,"o":{"deep":[2,null]}})");
}

TEST(JSONDecode, LoneValues) {
    struct Case {
        const char* text;
        Value::value_t type;
    };
    const Case cases[] = {
        {"42", Value::value_t::number_integer},
        {"-42", Value::value_t::number_integer},
        // Whole numbers beyond the signed range are reals.
        {"18446744073709551615", Value::value_t::number_float},
        {"1.5", Value::value_t::number_float},
        {"\"x\"", Value::value_t::string},
        {"false", Value::value_t::boolean},
        {"null", Value::value_t::null},
        {"[]", Value::value_t::array},
        {"{}", Value::value_t::object},
    };
    for (const auto& c : cases) EXPECT_EQ(JSON::parse(c.text).value.type(), c.type) << c.text;
}

TEST(JSONDecode, TextThatIsNotJsonIsAbsent) {
    for (const char* text : {"", "{", "nope", "[1,", "{\"a\":}"}) EXPECT_TRUE(JSON::parse(text).isAbsent()) << text;
}

TEST(JSONDecode, ElementsOfNoKindAreLeftOut) {
    Value list = Value::array({1, Value::binary({9}), "two"});
    Value object = Value::object({{"gone", Value::binary({9})}, {"kept", 1}});
    EXPECT_EQ(JSON::decode(list).value, Value::array({1, "two"}));
    EXPECT_EQ(JSON::decode(object).value, Value::object({{"kept", 1}}));
}

}  // namespace
}  // namespace hexora
