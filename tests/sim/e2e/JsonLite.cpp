#include "e2e/JsonLite.h"

#include <cstdlib>

namespace {

struct Parser {
    const std::string& s;
    std::size_t i = 0;

    void skip()
    {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\t' || s[i] == '\r')) {
            ++i;
        }
    }

    bool literal(const char* word)
    {
        const std::string w(word);
        if (s.compare(i, w.size(), w) != 0) {
            return false;
        }
        i += w.size();
        return true;
    }

    bool string(std::string& out)
    {
        if (i >= s.size() || s[i] != '"') {
            return false;
        }
        ++i;
        while (i < s.size() && s[i] != '"') {
            if (s[i] == '\\' && i + 1 < s.size()) {
                ++i;
            }
            out += s[i++];
        }
        if (i >= s.size()) {
            return false;
        }
        ++i;
        return true;
    }

    bool value(JsonValue& v)
    {
        skip();
        if (i >= s.size()) {
            return false;
        }
        const char c = s[i];
        if (c == '{') {
            v.type = JsonValue::Type::Object;
            ++i;
            skip();
            if (i < s.size() && s[i] == '}') {
                ++i;
                return true;
            }
            while (true) {
                skip();
                std::string key;
                if (!string(key)) {
                    return false;
                }
                skip();
                if (i >= s.size() || s[i] != ':') {
                    return false;
                }
                ++i;
                if (!value(v.fields[key])) {
                    return false;
                }
                skip();
                if (i < s.size() && s[i] == ',') {
                    ++i;
                    continue;
                }
                if (i < s.size() && s[i] == '}') {
                    ++i;
                    return true;
                }
                return false;
            }
        }
        if (c == '[') {
            v.type = JsonValue::Type::Array;
            ++i;
            skip();
            if (i < s.size() && s[i] == ']') {
                ++i;
                return true;
            }
            while (true) {
                v.items.emplace_back();
                if (!value(v.items.back())) {
                    return false;
                }
                skip();
                if (i < s.size() && s[i] == ',') {
                    ++i;
                    continue;
                }
                if (i < s.size() && s[i] == ']') {
                    ++i;
                    return true;
                }
                return false;
            }
        }
        if (c == '"') {
            v.type = JsonValue::Type::String;
            return string(v.text);
        }
        if (literal("true")) {
            v.type = JsonValue::Type::Bool;
            v.boolean = true;
            return true;
        }
        if (literal("false")) {
            v.type = JsonValue::Type::Bool;
            return true;
        }
        if (literal("null")) {
            return true;
        }
        char* end = nullptr;
        v.number = std::strtod(s.c_str() + i, &end);
        if (end == s.c_str() + i) {
            return false;
        }
        v.type = JsonValue::Type::Number;
        i = static_cast<std::size_t>(end - s.c_str());
        return true;
    }
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const
{
    static const JsonValue kNull;
    const auto it = fields.find(key);
    return it == fields.end() ? kNull : it->second;
}

bool parseJson(const std::string& text, JsonValue& out)
{
    Parser p{text};
    if (!p.value(out)) {
        return false;
    }
    p.skip();
    return p.i == text.size();
}
