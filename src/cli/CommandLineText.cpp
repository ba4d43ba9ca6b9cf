#include "cli/CommandLineText.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

std::string RoundTripFloatText(float value)
{
    // Nine significant digits always read back as the same float; fewer often
    // do, and read more kindly.
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, double(value));
        const float back = std::strtof(text, nullptr);
        if (std::memcmp(&back, &value, sizeof value) == 0) {
            break;
        }
    }
    return text;
}

std::string OneLine(const std::string& text)
{
    // A backslash is doubled so that an escape in the output always stands
    // for exactly one byte of the text.
    static const char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            shown += "\\\\";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
        } else {
            shown += c;
        }
    }
    return shown;
}
