#include "ProgressLine.h"

#include <cstdio>

#include "landing/InterruptCleanup.h"

ProgressLine::ProgressLine(std::string program, bool enabled) : program(std::move(program)), enabled(enabled) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Show(const char* task, double fraction)
{
    if (!enabled) {
        return;
    }
    const int percent = fraction <= 0.0 ? 0 : fraction >= 1.0 ? 100 : static_cast<int>(fraction * 100.0);
    if (percent == lastPercent) {
        return;
    }
    lastPercent = percent;
    // Set first: a fatal signal once the line is drawn must erase it, or the
    // shell's prompt would follow it.
    SetInterruptErasesLine(true);
    fprintf(stderr, "\r%s: %s %3d%%", program.c_str(), task, percent);
    fflush(stderr);
    shown = true;
}

void ProgressLine::Clear()
{
    if (shown) {
        // Back to the line's start and erase to its end.
        SetInterruptErasesLine(false);
        fputs("\r\033[K", stderr);
        fflush(stderr);
        shown = false;
        lastPercent = -1;
    }
}
