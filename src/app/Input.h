#pragma once

#include <SDL.h>

#include <cstdint>

// Input state and frame pacing: a thin module over SDL's event queue,
// keyboard, mouse and millisecond clock. All state is module-level and lives
// for the whole run.

enum { kEventTypeCount = 32 };  // SDL_NUMEVENTS in SDL 1.2
enum { kKeyCount = SDLK_LAST };  // 323 key symbols

using EventHandler = void (*)(SDL_Event* event);

// The SDL entry points this module reads through. They point at SDL itself;
// tests point them at fakes to feed events, key snapshots and ticks without
// a window.
struct InputSource {
    void (*pumpEvents)();
    int (*pollEvent)(SDL_Event* event);
    Uint8* (*getKeyState)(int* keyCount);
    Uint8 (*getMouseState)(int* x, int* y);
    Uint32 (*getTicks)();
};
extern InputSource inputSource;
InputSource SdlInputSource();

extern uint8_t eventFlags[kEventTypeCount];
extern EventHandler eventHandlers[kEventTypeCount];
extern int keyCount;
extern uint8_t previousKeys[kKeyCount];
extern uint8_t currentKeys[kKeyCount];
extern uint32_t frameStartTicks;

// Drains the event queue: flags each type seen this call and hands every event
// to the handler of its type.
void PollEvents(uint8_t* flags, EventHandler* handlers);
// Moves this frame's keys to previousKeys and snapshots SDL's key state.
void UpdateKeys();
void ReadMouse(uint8_t* buttons, int* x, int* y);

int KeyHeld(int key);      // down now and at the previous snapshot
int KeyPressed(int key);   // went down since the previous snapshot
int KeyReleased(int key);  // went up since the previous snapshot
int KeyUp(int key);        // up now and at the previous snapshot

void MarkFrameStart();
// Busy-waits until ms have passed since the frame stamp; never sleeps.
void WaitFrameTime(unsigned ms);
void BusyDelay(unsigned ms);

void IgnoreEvent(SDL_Event* event);
