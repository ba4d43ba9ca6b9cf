#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A strict reader for the flat JSON objects the --meta option writes: string
// keys whose values are strings, numbers or null. It knows nothing of the
// writer; it follows the JSON grammar and rejects what the grammar rejects
// (raw control characters, bad escapes, lone surrogates, text that is not
// UTF-8, trailing text). Strings decode as a standard reader decodes them:
// raw characters and \u escapes alike become code points, kept as UTF-8.
struct JsonValue {
    enum Kind { String, Number, Null } kind = Null;
    std::string text;  // a string's code points as UTF-8; a number's text
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
            const unsigned char c = static_cast<unsigned char>(json[at]);
            if (c == '"') {
                ++at;
                return true;
            }
            if (c < 0x20) {
                return false;  // raw control characters are not JSON
            }
            uint32_t code = 0;
            if (c == '\\') {
                ++at;
                if (!ReadEscape(code)) {
                    return false;
                }
            } else if (!ReadRawCharacter(code)) {
                return false;
            }
            AppendUtf8(text, code);
        }
        return false;
    }

    // One raw character of the UTF-8 text: its lead byte's high ones count
    // the bytes, each following byte is 10xxxxxx, and the value must need
    // that many bytes, must not be a surrogate and must not pass U+10FFFF.
    bool ReadRawCharacter(uint32_t& code)
    {
        const unsigned char lead = static_cast<unsigned char>(json[at++]);
        int following = 0;
        uint32_t smallest = 0;
        if (lead < 0x80) {
            code = lead;
            return true;
        } else if ((lead & 0xE0) == 0xC0) {
            following = 1, code = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            following = 2, code = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            following = 3, code = lead & 0x07, smallest = 0x10000;
        } else {
            return false;
        }
        for (int k = 0; k < following; ++k) {
            if (at >= json.size() || (static_cast<unsigned char>(json[at]) & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (static_cast<unsigned char>(json[at++]) & 0x3F);
        }
        return code >= smallest && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    }

    // After the backslash: a simple escape, or \uXXXX, with a surrogate pair
    // read as the one character it stands for.
    bool ReadEscape(uint32_t& code)
    {
        if (at >= json.size()) {
            return false;
        }
        const char escape = json[at++];
        const std::string simple = "\"\\/bfnrt";
        const std::string meaning = "\"\\/\b\f\n\r\t";
        if (simple.find(escape) != std::string::npos) {
            code = static_cast<unsigned char>(meaning[simple.find(escape)]);
            return true;
        }
        if (escape != 'u' || !ReadHex4(code)) {
            return false;
        }
        if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;  // a low surrogate with no high one before it
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            uint32_t low = 0;
            if (!Take('\\') || !Take('u') || !ReadHex4(low) || low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        return true;
    }

    bool ReadHex4(uint32_t& code)
    {
        if (at + 4 > json.size()) {
            return false;
        }
        code = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = json[at++];
            const int digit = (h >= '0' && h <= '9')   ? h - '0'
                              : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                              : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                                                       : -1;
            if (digit < 0) {
                return false;
            }
            code = code * 16 + uint32_t(digit);
        }
        return true;
    }

    static void AppendUtf8(std::string& text, uint32_t code)
    {
        if (code < 0x80) {
            text += char(code);
        } else if (code < 0x800) {
            text += char(0xC0 | (code >> 6));
            text += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            text += char(0xE0 | (code >> 12));
            text += char(0x80 | ((code >> 6) & 0x3F));
            text += char(0x80 | (code & 0x3F));
        } else {
            text += char(0xF0 | (code >> 18));
            text += char(0x80 | ((code >> 12) & 0x3F));
            text += char(0x80 | ((code >> 6) & 0x3F));
            text += char(0x80 | (code & 0x3F));
        }
    }

    std::string json;
    size_t at = 0;
};
