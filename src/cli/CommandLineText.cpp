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
