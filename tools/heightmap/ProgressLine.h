#pragma once

#include <string>

// A one-line percentage on standard error, redrawn in place, for long work.
// Shown only when enabled (the caller decides: a terminal, a large map), so
// pipes and logs never see it. Clear() erases it before anything else is
// printed.
class ProgressLine {
public:
    ProgressLine(std::string program, bool enabled);
    ~ProgressLine();

    void Show(const char* task, double fraction);
    void Clear();

private:
    std::string program;
    bool enabled;
    bool shown = false;
    int lastPercent = -1;
};
