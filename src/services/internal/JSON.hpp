#pragma once
// JSON: a box for a value of no fixed type (typically a dictionary built at
// run time) that takes part in the JSON form of a record. The telemetry
// record's "Data" is its one user.
//
// The kinds a box holds: object (text keys, member order kept), array, text,
// integer (signed 64-bit), real (double), Boolean and absence (JSON null).
// Objects and arrays nest to any depth.
//
// Thread: a JSON is a plain value; distinct objects may be used on distinct
// threads, one object is not for concurrent writers.
#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <string_view>

namespace hexora {

class JSON {
public:
    using Value = nlohmann::ordered_json;

    /// Raised by encode() when the value cannot be written as JSON.
    class EncodingError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    /// An absent value.
    JSON() = default;
    explicit JSON(Value value) : value(std::move(value)) {}

    /// Absent when null.
    Value value;

    bool isAbsent() const { return value.is_null(); }

    /// The value written by the encoding rules: objects keep their member
    /// order, a real that is not finite makes the whole encoding fail
    /// (EncodingError), an unsigned integer above the signed range is written
    /// as a real, and anything that is none of the kinds (binary data) is
    /// written as null.
    Value encode() const;

    /// The encoded value as compact JSON text. Bytes that are not UTF-8 are
    /// written as U+FFFD. Throws EncodingError like encode().
    std::string dump() const;

    /// Reads whatever `decoded` holds by the decoding rules: a whole number
    /// becomes an integer when it fits the signed range and a real otherwise,
    /// null is kept (an object member that is null stays, with an absent
    /// value), members and elements of no kind are left out. Never fails.
    static JSON decode(const Value& decoded);

    /// Parses JSON text and decodes it; text that is not JSON gives an absent
    /// value. Never fails.
    static JSON parse(std::string_view text);
};

}  // namespace hexora
