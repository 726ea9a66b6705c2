#pragma once
// What passes between a window manager and the X display, for the test: the close request a
// window manager sends when a person closes a window (for displays that run none), and whether
// one manages the screen. Apart from the test itself, because Xlib's macros (None, Status...)
// clash with GoogleTest's names.

#include <string>

namespace quillora::test {

// Asks window `window` of X display `display` to close (WM_DELETE_WINDOW); false when the request
// could not be sent.
bool sendCloseRequest(const std::string& display, unsigned long window);

// Whether a window manager that follows the desktop conventions manages the screen of `display`:
// it has named its own window on the root window, which it does once it is ready.
bool windowManagerRunning(const std::string& display);

} // namespace quillora::test
