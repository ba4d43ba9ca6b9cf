#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A strict reader for the flat JSON objects the --meta option writes: string
// keys whose values are strings, numbers or null. It knows nothing of the
// writer; it follows the JSON grammar and rejects what the grammar rejects
// (raw control characters, bad escapes, trailing text), and, as the writer
// promises, pure ASCII.
struct JsonValue {
    enum Kind { String, Number, Null } kind = Null;
    std::string text;  // a string's code points below 256 as bytes; a number's text
};

class JsonReader {
public:
    explicit JsonReader(std::string json) : json(std::move(json)) {}

    // The members in file order; false on any departure from the grammar.
    bool ReadObject(std::vector<std::pair<std::string, JsonValue>>& members)
    {
        SkipSpace();
        if (!Take('{')) {
            return false;
        }
        SkipSpace();
        if (Take('}')) {
            return AtEnd();
        }
        for (;;) {
            std::string key;
            JsonValue value;
            SkipSpace();
            if (!ReadString(key)) {
                return false;
            }
            SkipSpace();
            if (!Take(':')) {
                return false;
            }
            SkipSpace();
            if (!ReadValue(value)) {
                return false;
            }
            members.emplace_back(key, value);
            SkipSpace();
            if (Take('}')) {
                return AtEnd();
            }
            if (!Take(',')) {
                return false;
            }
        }
    }

private:
    bool AtEnd()
    {
        SkipSpace();
        return at == json.size();
    }

    void SkipSpace()
    {
        while (at < json.size() && (json[at] == ' ' || json[at] == '\n' || json[at] == '\t' || json[at] == '\r')) {
            ++at;
        }
    }

    bool Take(char c)
    {
        if (at < json.size() && json[at] == c) {
            ++at;
            return true;
        }
        return false;
    }

    bool ReadValue(JsonValue& value)
    {
        if (at < json.size() && json[at] == '"') {
            value.kind = JsonValue::String;
            return ReadString(value.text);
        }
        if (json.compare(at, 4, "null") == 0) {
            at += 4;
            value.kind = JsonValue::Null;
            return true;
        }
        value.kind = JsonValue::Number;
        return ReadNumber(value.text);
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    bool ReadNumber(std::string& text)
    {
        const size_t start = at;
        Take('-');
        if (Take('0')) {
        } else if (!Digits()) {
            return false;
        }
        if (Take('.') && !Digits()) {
            return false;
        }
        if (Take('e') || Take('E')) {
            if (!Take('+')) {
                Take('-');
            }
            if (!Digits()) {
                return false;
            }
        }
        text = json.substr(start, at - start);
        return true;
    }

    bool Digits()
    {
        const size_t start = at;
        while (at < json.size() && json[at] >= '0' && json[at] <= '9') {
            ++at;
        }
        return at > start;
    }

    bool ReadString(std::string& text)
    {
        if (!Take('"')) {
            return false;
        }
        while (at < json.size()) {
            const unsigned char c = static_cast<unsigned char>(json[at++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20 || c >= 0x80) {
                return false;  // raw control characters are not JSON; the writer promises ASCII
            }
            if (c != '\\') {
                text += char(c);
                continue;
            }
            if (at >= json.size()) {
                return false;
            }
            const char escape = json[at++];
            const std::string simple = "\"\\/bfnrt";
            const std::string meaning = "\"\\/\b\f\n\r\t";
            if (simple.find(escape) != std::string::npos) {
                text += meaning[simple.find(escape)];
            } else if (escape == 'u') {
                if (at + 4 > json.size()) {
                    return false;
                }
                unsigned code = 0;
                for (int k = 0; k < 4; ++k) {
                    const char h = json[at++];
                    const int digit = (h >= '0' && h <= '9')   ? h - '0'
                                      : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                                      : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                                                               : -1;
                    if (digit < 0) {
                        return false;
                    }
                    code = code * 16 + unsigned(digit);
                }
                if (code > 0xFF) {
                    return false;  // not needed by these files
                }
                text += char(code);
            } else {
                return false;
            }
        }
        return false;
    }

    std::string json;
    size_t at = 0;
};
