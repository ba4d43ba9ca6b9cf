#pragma once

#include <string>

// Text for command lines the user copies into a POSIX shell.

// The bytes between single quotes, each single quote written as '\'' (close,
// escaped quote, reopen). Inside single quotes a shell takes every other byte
// as it is, spaces, backslashes, dollars and non-ASCII bytes included.
std::string ShellQuoted(const std::string& text);

// The shortest decimal text (in %g form, at most nine significant digits)
// that strtof reads back as exactly this float. Meant for finite values.
std::string RoundTripFloatText(float value);
