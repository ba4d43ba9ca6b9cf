#pragma once
// Drives programs under a private X server for end-to-end tests and
// headless screenshots. Link orvandel_x11driver; include "X11Driver.h".
//
//   XvfbServer server;                        // Xvfb on a free display (XvfbOptions: .glx = false for none)
//   LaunchOptions launch;
//   launch.argv = {"/path/to/orvandel"};
//   launch.workingDirectory = "/path/to";       // the viewer reads font.tga from here
//   launch.environment = server.ClientEnvironment();  // DISPLAY, SDL_VIDEODRIVER=x11, software GL
//   ChildProcess viewer(launch);                // own process group, stdout/stderr captured
//
//   X11Client& x = server.Client();
//   WindowId window = x.WaitForWindow("Orvandel - SDL OpenGL", 10s, &viewer);  // 0: none
//   x.Size(window);                           // {800, 600}
//   x.Focus(window);                          // input focus + pointer inside: do this before input
//   x.HoldKey("w", 300ms);                    // keysym names; hold longer than a frame (15 ms)
//   x.Drag(window, {1}, {400, 300}, {450, 300});  // buttons 1 left, 3 right
//   Image shot = x.Capture(window);           // RGB, top row first; shot.At(x, y), shot.WritePng(path)
//   Compare(shot, x.Capture(window)).Identical();
//   x.SendDeleteWindow(window);               // the window manager's close request
//   viewer.WaitForExit(2s);                   // exit code, or nullopt on timeout
//   viewer.Stdout();
//
// Everything is released by destructors, in reverse order of creation: a
// ChildProcess kills its process group, the XvfbServer closes its
// connection and then ends the server. Children also die with this process
// (PR_SET_PDEATHSIG), so a crashed test leaves nothing behind.
// Under Xvfb there is no window manager: focus follows the pointer unless set
// explicitly, and a key that goes down inside the window and up outside it
// stays down for SDL, so call Focus first and keep the pointer inside.
// A key that goes down and up between two of the program's frames is never
// seen; on a loaded machine frames slow down, so hold keys generously, or
// until the effect is seen. The end-to-end tests wrap all this for the
// viewer in tests/e2e/ViewerRun.h.

#include "ChildProcess.h"
#include "Image.h"
#include "X11Client.h"
#include "XvfbServer.h"
