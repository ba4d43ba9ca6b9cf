#include "X11Client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <stdexcept>
#include <thread>

#include "ChildProcess.h"

namespace orvandel::x11 {

namespace {

// Windows of the program under test come and go while we look at them; the
// default handler would end this process on the first BadWindow.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

int ShiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

std::uint8_t Channel(unsigned long pixel, unsigned long mask)
{
    const unsigned long value = (pixel & mask) >> ShiftOf(mask);
    const unsigned long maximum = mask >> ShiftOf(mask);
    return static_cast<std::uint8_t>(maximum == 0 ? 0 : value * 255 / maximum);
}

}  // namespace

X11Client::X11Client(const std::string& displayName)
{
    XSetErrorHandler(IgnoreXError);
    display_ = XOpenDisplay(displayName.c_str());
    if (display_ == nullptr) {
        throw std::runtime_error("cannot open display " + displayName);
    }
    int eventBase, errorBase, major, minor;
    if (!XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display_);
        throw std::runtime_error("display " + displayName + " has no XTest");
    }
}

X11Client::~X11Client() { XCloseDisplay(display_); }

void X11Client::Sync() { XSync(display_, False); }

WindowId X11Client::FindWindow(const std::string& title)
{
    Window root, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
        return 0;
    }
    WindowId found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        XTextProperty name;
        if (XGetWMName(display_, children[i], &name) && name.value != nullptr) {
            if (name.format == 8 && title == std::string(reinterpret_cast<char*>(name.value), name.nitems)) {
                found = children[i];
            }
            XFree(name.value);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

bool X11Client::Viewable(WindowId window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
}

WindowId X11Client::WaitForWindow(const std::string& title, std::chrono::milliseconds timeout,
                                  ChildProcess* program)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const WindowId window = FindWindow(title);
        if (window != 0 && Viewable(window)) {
            return window;
        }
        if (std::chrono::steady_clock::now() >= deadline || (program != nullptr && !program->Running())) {
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

WindowSize X11Client::Size(WindowId window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes)) {
        return {};
    }
    return {attributes.width, attributes.height};
}

void X11Client::Focus(WindowId window)
{
    const WindowSize size = Size(window);
    MovePointer(window, size.width / 2, size.height / 2);
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    Sync();
}

namespace {

KeyCode CodeOf(Display* display, const std::string& key)
{
    const KeySym symbol = XStringToKeysym(key.c_str());
    const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
    if (code == 0) {
        throw std::invalid_argument("no key named " + key);
    }
    return code;
}

}  // namespace

void X11Client::KeyDown(const std::string& key)
{
    XTestFakeKeyEvent(display_, CodeOf(display_, key), True, CurrentTime);
    Sync();
}

void X11Client::KeyUp(const std::string& key)
{
    XTestFakeKeyEvent(display_, CodeOf(display_, key), False, CurrentTime);
    Sync();
}

void X11Client::HoldKey(const std::string& key, std::chrono::milliseconds hold)
{
    KeyDown(key);
    std::this_thread::sleep_for(hold);
    KeyUp(key);
}

void X11Client::MovePointer(WindowId window, int x, int y)
{
    int rootX = x, rootY = y;
    Window child;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, CurrentTime);
    Sync();
}

void X11Client::ButtonDown(unsigned button)
{
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    Sync();
}

void X11Client::ButtonUp(unsigned button)
{
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    Sync();
}

void X11Client::Drag(WindowId window, const std::vector<unsigned>& buttons, std::pair<int, int> from,
                     std::pair<int, int> to, int steps, std::chrono::milliseconds stepPause)
{
    MovePointer(window, from.first, from.second);
    for (unsigned button : buttons) {
        ButtonDown(button);
    }
    std::this_thread::sleep_for(stepPause);
    for (int step = 1; step <= steps; ++step) {
        MovePointer(window, from.first + (to.first - from.first) * step / steps,
                    from.second + (to.second - from.second) * step / steps);
        std::this_thread::sleep_for(stepPause);
    }
    for (auto button = buttons.rbegin(); button != buttons.rend(); ++button) {
        ButtonUp(*button);
    }
}

Image X11Client::CaptureDrawable(WindowId drawable, int width, int height)
{
    if (width <= 0 || height <= 0) {
        return {};
    }
    XImage* shot = XGetImage(display_, drawable, 0, 0, width, height, AllPlanes, ZPixmap);
    if (shot == nullptr) {
        return {};
    }
    Image image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(shot, x, y);
            image.Set(x, y, Rgb{Channel(pixel, shot->red_mask), Channel(pixel, shot->green_mask),
                                Channel(pixel, shot->blue_mask)});
        }
    }
    XDestroyImage(shot);
    return image;
}

Image X11Client::Capture(WindowId window)
{
    const WindowSize size = Size(window);
    return CaptureDrawable(window, size.width, size.height);
}

Image X11Client::CaptureRoot()
{
    const Window root = DefaultRootWindow(display_);
    const WindowSize size = Size(root);
    return CaptureDrawable(root, size.width, size.height);
}

void X11Client::SendDeleteWindow(WindowId window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    Sync();
}

}  // namespace orvandel::x11
