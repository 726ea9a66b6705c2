#include "tests/support/WindowManagerMessages.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace quillora::test {

bool sendCloseRequest(const std::string& display, unsigned long window) {
    Display* x = XOpenDisplay(display.c_str());
    if (!x) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const int sent = XSendEvent(x, window, False, NoEventMask, &event);
    XFlush(x);
    XCloseDisplay(x);
    return sent != 0;
}

bool windowManagerRunning(const std::string& display) {
    Display* x = XOpenDisplay(display.c_str());
    if (!x) return false;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int read =
        XGetWindowProperty(x, DefaultRootWindow(x), XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", False), 0, 1,
                           False, XA_WINDOW, &type, &format, &count, &after, &data);
    const bool running = read == Success && type == XA_WINDOW && format == 32 && count == 1;
    if (data) XFree(data);
    XCloseDisplay(x);
    return running;
}

} // namespace quillora::test
