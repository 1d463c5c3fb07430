#include "services/internal/JSON.hpp"

#include "services/internal/JSONCodingKeys.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

namespace hexora {
namespace {
using Value = JSON::Value;

constexpr auto maxSigned = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

// An unsigned number is an integer while it fits the signed range, else a real.
Value fromUnsigned(std::uint64_t number) {
    if (number <= maxSigned) return Value(static_cast<std::int64_t>(number));
    return Value(static_cast<double>(number));
}

bool hasNoKind(const Value& value) { return value.is_binary() || value.is_discarded(); }

Value encodeValue(const Value& value) {
    switch (value.type()) {
    case Value::value_t::object: {
        Value object = Value::object();
        for (const auto& [key, member] : value.items()) object[JSONCodingKeys(key).stringValue] = encodeValue(member);
        return object;
    }
    case Value::value_t::array: {
        Value array = Value::array();
        for (const auto& element : value) array.push_back(encodeValue(element));
        return array;
    }
    case Value::value_t::string:
    case Value::value_t::boolean:
    case Value::value_t::number_integer:
        return value;
    case Value::value_t::number_unsigned:
        return fromUnsigned(value.get<std::uint64_t>());
    case Value::value_t::number_float:
        if (!std::isfinite(value.get<double>())) throw JSON::EncodingError("JSON: a real that is not finite cannot be encoded");
        return value;
    default:
        return nullptr;
    }
}

Value decodeValue(const Value& value) {
    switch (value.type()) {
    case Value::value_t::object: {
        Value object = Value::object();
        for (const auto& [key, member] : value.items()) {
            if (!hasNoKind(member)) object[key] = decodeValue(member);
        }
        return object;
    }
    case Value::value_t::array: {
        Value array = Value::array();
        for (const auto& element : value) {
            if (!hasNoKind(element)) array.push_back(decodeValue(element));
        }
        return array;
    }
    case Value::value_t::number_unsigned:
        return fromUnsigned(value.get<std::uint64_t>());
    case Value::value_t::string:
    case Value::value_t::boolean:
    case Value::value_t::number_integer:
    case Value::value_t::number_float:
        return value;
    default:
        return nullptr;
    }
}
}  // namespace

JSON::Value JSON::encode() const { return encodeValue(value); }

std::string JSON::dump() const { return encode().dump(-1, ' ', false, Value::error_handler_t::replace); }

JSON JSON::decode(const Value& decoded) { return JSON(decodeValue(decoded)); }

JSON JSON::parse(std::string_view text) {
    Value parsed = Value::parse(text.begin(), text.end(), nullptr, false);
    if (parsed.is_discarded()) return JSON();
    return decode(parsed);
}

}  // namespace hexora
