#pragma once
// A connection to an X server that finds windows, sends input through XTest
// and captures pixels.

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "Image.h"

struct _XDisplay;  // Xlib's Display; kept out of this header so Xlib's macros stay out too

namespace orvandel::x11 {

class ChildProcess;

using WindowId = unsigned long;  // an X window id; 0 means none

struct WindowSize {
    int width = 0;
    int height = 0;
};

class X11Client {
public:
    // Throws std::runtime_error if the display cannot be opened or lacks XTest.
    explicit X11Client(const std::string& displayName);
    ~X11Client();
    X11Client(const X11Client&) = delete;
    X11Client& operator=(const X11Client&) = delete;

    _XDisplay* Raw() const { return display_; }

    // A top-level window (a child of the root) whose WM_NAME is exactly title; 0 if none.
    WindowId FindWindow(const std::string& title);
    // Waits until such a window exists and is viewable. Gives up (returns 0) at
    // the timeout, or as soon as program, if given, has exited.
    WindowId WaitForWindow(const std::string& title, std::chrono::milliseconds timeout,
                           ChildProcess* program = nullptr);
    bool Viewable(WindowId window);
    WindowSize Size(WindowId window);  // {0, 0} once the window is gone

    // Gives the window the keyboard focus and puts the pointer at its centre.
    // Without a window manager the focus otherwise follows the pointer, and a
    // key released outside the window stays down for SDL.
    void Focus(WindowId window);

    // Keys are named by their X keysym names: "Escape", "a", "Left", "Shift_L".
    // Throws std::invalid_argument for a name the server's keymap lacks.
    void KeyDown(const std::string& key);
    void KeyUp(const std::string& key);
    // Down, wait, up. Keep hold longer than a frame (15 ms) or the program
    // never sees the key; 150 ms spans several frames.
    void HoldKey(const std::string& key, std::chrono::milliseconds hold = std::chrono::milliseconds(150));

    // Pointer position in the window's own pixels (origin top left).
    void MovePointer(WindowId window, int x, int y);
    // Buttons: 1 left, 2 middle, 3 right.
    void ButtonDown(unsigned button);
    void ButtonUp(unsigned button);
    // Moves to from, presses every button given, moves to to in steps pausing
    // stepPause after each, then releases the buttons in reverse order.
    void Drag(WindowId window, const std::vector<unsigned>& buttons, std::pair<int, int> from,
              std::pair<int, int> to, int steps = 10,
              std::chrono::milliseconds stepPause = std::chrono::milliseconds(30));

    // The window's pixels as shown on screen; an empty image once it is gone.
    Image Capture(WindowId window);
    Image CaptureRoot();

    // Sends WM_PROTOCOLS / WM_DELETE_WINDOW, the window manager's close
    // request (SDL reports it as SDL_QUIT).
    void SendDeleteWindow(WindowId window);

    // Waits until the server has processed every request sent so far.
    void Sync();

private:
    Image CaptureDrawable(WindowId drawable, int width, int height);

    _XDisplay* display_ = nullptr;
};

}  // namespace orvandel::x11
