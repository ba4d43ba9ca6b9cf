#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <stdexcept>
#include <vector>

#include "app/Input.h"

// A scripted stand-in for SDL behind the input module's seam: queued events,
// a key state array with its reported count, the mouse, and a clock that
// plays back a list of readings.
struct FakeSdl {
    std::deque<SDL_Event> events;
    int pumps = 0;
    std::vector<Uint8> keys = std::vector<Uint8>(kKeyCount, 0);
    int reportedKeyCount = kKeyCount;
    Uint8 buttons = 0;
    int mouseX = 0;
    int mouseY = 0;
    std::vector<Uint32> ticks = {0};
    size_t tickReads = 0;
};
inline FakeSdl fakeSdl;

inline void FakePump() { ++fakeSdl.pumps; }

inline int FakePoll(SDL_Event* event)
{
    if (fakeSdl.events.empty()) {
        return 0;
    }
    *event = fakeSdl.events.front();
    fakeSdl.events.pop_front();
    return 1;
}

inline Uint8* FakeKeyState(int* count)
{
    *count = fakeSdl.reportedKeyCount;
    return fakeSdl.keys.data();
}

inline Uint8 FakeMouse(int* x, int* y)
{
    *x = fakeSdl.mouseX;
    *y = fakeSdl.mouseY;
    return fakeSdl.buttons;
}

// Each read takes the next reading; the last one repeats. A wait that never
// ends is stopped rather than hanging the test run.
inline Uint32 FakeTicks()
{
    if (++fakeSdl.tickReads > 1000000) {
        throw std::runtime_error("the clock was read a million times: the wait does not end");
    }
    const size_t at = std::min(fakeSdl.tickReads - 1, fakeSdl.ticks.size() - 1);
    return fakeSdl.ticks[at];
}

inline SDL_Event EventOfType(Uint8 type)
{
    SDL_Event event{};
    event.type = type;
    return event;
}

// The input module's state is global: each test starts from the state the
// program starts with and talks to the fake instead of SDL.
class FakeInputTest : public testing::Test {
protected:
    void SetUp() override
    {
        fakeSdl = FakeSdl();
        inputSource = {FakePump, FakePoll, FakeKeyState, FakeMouse, FakeTicks};
        std::fill(std::begin(eventFlags), std::end(eventFlags), 0);
        std::fill(std::begin(eventHandlers), std::end(eventHandlers), IgnoreEvent);
        keyCount = 0;
        std::fill(std::begin(previousKeys), std::end(previousKeys), 0);
        std::fill(std::begin(currentKeys), std::end(currentKeys), 0);
        frameStartTicks = 0;
    }
    void TearDown() override { inputSource = SdlInputSource(); }

    // One frame's snapshot with exactly these keys down.
    void SnapshotWithKeysDown(std::initializer_list<int> down)
    {
        std::fill(fakeSdl.keys.begin(), fakeSdl.keys.end(), 0);
        for (int key : down) {
            fakeSdl.keys[key] = 1;
        }
        UpdateKeys();
    }
};
