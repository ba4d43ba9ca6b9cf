#include "app/Input.h"

#include <algorithm>

namespace {

void PumpEventsFromSdl() { SDL_PumpEvents(); }
int PollEventFromSdl(SDL_Event* event) { return SDL_PollEvent(event); }
Uint8* KeyStateFromSdl(int* count) { return SDL_GetKeyState(count); }
Uint8 MouseStateFromSdl(int* x, int* y) { return SDL_GetMouseState(x, y); }
Uint32 TicksFromSdl() { return SDL_GetTicks(); }

}  // namespace

InputSource SdlInputSource()
{
    return {PumpEventsFromSdl, PollEventFromSdl, KeyStateFromSdl, MouseStateFromSdl, TicksFromSdl};
}

InputSource inputSource = SdlInputSource();

uint8_t eventFlags[kEventTypeCount];
#define IGNORE_8 IgnoreEvent, IgnoreEvent, IgnoreEvent, IgnoreEvent, IgnoreEvent, IgnoreEvent, IgnoreEvent, IgnoreEvent
EventHandler eventHandlers[kEventTypeCount] = {IGNORE_8, IGNORE_8, IGNORE_8, IGNORE_8};
#undef IGNORE_8
int keyCount = 0;
uint8_t previousKeys[kKeyCount];
uint8_t currentKeys[kKeyCount];
uint32_t frameStartTicks = 0;

void IgnoreEvent(SDL_Event*) {}

void PollEvents(uint8_t* flags, EventHandler* handlers)
{
    inputSource.pumpEvents();
    std::fill(flags, flags + kEventTypeCount, 0);
    SDL_Event event;
    while (inputSource.pollEvent(&event) != 0) {
        const unsigned type = event.type;
        // SDL 1.2 never reports a type of 32 or more; should one arrive it is
        // dropped rather than indexing past the tables.
        if (type >= kEventTypeCount) {
            continue;
        }
        flags[type] = 1;
        handlers[type](&event);
    }
}

void UpdateKeys()
{
    std::copy(currentKeys, currentKeys + keyCount, previousKeys);
    int reported = 0;
    const Uint8* state = inputSource.getKeyState(&reported);
    // Never copy more than SDL reports nor more than the snapshots hold.
    keyCount = std::clamp(reported, 0, static_cast<int>(kKeyCount));
    if (state == nullptr) {
        keyCount = 0;
    }
    std::copy(state, state + keyCount, currentKeys);
}

void ReadMouse(uint8_t* buttons, int* x, int* y)
{
    *buttons = static_cast<uint8_t>(inputSource.getMouseState(x, y));
}

int KeyHeld(int key) { return currentKeys[key] & previousKeys[key]; }

int KeyPressed(int key) { return previousKeys[key] != 0 ? 0 : (currentKeys[key] & 1); }

int KeyReleased(int key) { return currentKeys[key] != 0 ? 0 : (previousKeys[key] & 1); }

int KeyUp(int key) { return (currentKeys[key] == 0 && previousKeys[key] == 0) ? 1 : 0; }

void MarkFrameStart() { frameStartTicks = inputSource.getTicks(); }

void WaitFrameTime(unsigned ms)
{
    const uint32_t target = frameStartTicks + static_cast<uint32_t>(ms);
    while (inputSource.getTicks() < target) {
    }
}

void BusyDelay(unsigned ms)
{
    frameStartTicks = inputSource.getTicks();
    WaitFrameTime(ms);
}
