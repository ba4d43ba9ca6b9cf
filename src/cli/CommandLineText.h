#pragma once

#include <string>

// Text for command lines the user copies into a POSIX shell, and for the
// one-line messages the programs print.

// The bytes between single quotes, each single quote written as '\'' (close,
// escaped quote, reopen). Inside single quotes a shell takes every other byte
// as it is, spaces, backslashes, dollars and non-ASCII bytes included.
std::string ShellQuoted(const std::string& text);

// The shortest decimal text (in %g form, at most nine significant digits)
// that strtof reads back as exactly this float. Meant for finite values.
std::string RoundTripFloatText(float value);

// The text with its control bytes (C0 and DEL) escaped, C-style: \n, \r, \t,
// \xHH for the rest, and a backslash doubled. A message quoting a value or a
// file name then stays one line, and no byte of it drives the terminal.
std::string OneLine(const std::string& text);
