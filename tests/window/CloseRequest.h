#pragma once
// What a window manager sends when a person closes a window, for displays that run none. Apart
// from the test itself, because Xlib's macros (None, Status...) clash with GoogleTest's names.

#include <string>

namespace quillora::test {

// Asks window `window` of X display `display` to close (WM_DELETE_WINDOW); false when the request
// could not be sent.
bool sendCloseRequest(const std::string& display, unsigned long window);

} // namespace quillora::test
