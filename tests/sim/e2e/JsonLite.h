#pragma once
// Just enough JSON to read the replay files back in the tests: objects,
// arrays, strings without escapes beyond \" and \\, numbers, booleans, null.

#include <map>
#include <memory>
#include <string>
#include <vector>

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> fields;

    const JsonValue& operator[](const std::string& key) const;
    bool has(const std::string& key) const { return fields.count(key) > 0; }
};

/// \brief Parses one JSON text; false when it is not JSON.
bool parseJson(const std::string& text, JsonValue& out);
