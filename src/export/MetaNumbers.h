#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

// How --meta prints its numbers, shared by every JSON description a run
// writes (--meta and a tile set's manifest), so that one value reads the
// same in each.

// A float as the double its nine-significant-digit text names: the library
// prints the shortest text that reads back as that double, which is those
// nine digits (or fewer), so the file reads back as the same 32-bit float.
// Whole numbers (and -0) as integers, without ".0"; null if not finite.
inline nlohmann::ordered_json MetaFloat(float value)
{
    if (!std::isfinite(value)) {
        return nullptr;
    }
    if (value == std::trunc(value) && std::fabs(value) < 9.0e15f) {
        return static_cast<long long>(value);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return std::strtod(text, nullptr);
}

// A ground figure: the double itself (the library prints the shortest text
// that reads back as it), whole numbers (and -0) without ".0", null if not
// finite.
inline nlohmann::ordered_json MetaMetres(double value)
{
    if (!std::isfinite(value)) {
        return nullptr;
    }
    if (value == std::trunc(value) && std::fabs(value) < 9.0e15) {
        return static_cast<long long>(value);
    }
    return value;
}
