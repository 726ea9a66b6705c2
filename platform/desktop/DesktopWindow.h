#pragma once
// The phone's screen on a Linux desktop: a GTK 4 window that shows the key window's screen, scaled
// to fit, and turns the mouse and keyboard into the platform's touches and typing. GLib's main loop
// drives the main run loop, so timers, queued work and recognition results keep their order. No
// GTK type shows in this header: nothing above the platform layer includes GTK.

#include <functional>
#include <string>

#include "platform/foundation/Geometry.h"

typedef struct _cairo cairo_t;

namespace platform {

class DesktopWindow {
public:
    // Whether a display is set for this process (WAYLAND_DISPLAY or DISPLAY).
    static bool displayAvailable();

    // The smallest window: half the phone's screen.
    static constexpr int kMinimumWidth = 195, kMinimumHeight = 422;
    // Opens the window titled `title` and runs until it ends: a person closes it, the window
    // system destroys it, the display goes away, or the program is asked to end
    // (TerminationSignals). The application then terminates (its termination saves run) and 0 is
    // returned. Each connection to the listening socket `raiseRequests` (-1: none) brings the
    // window forward. Non-zero, with the reason in `error`, when no window can be opened.
    // `firstFrameShown` runs once the first frame is on the screen: work that a person needs soon,
    // but not before they see the window.
    static int run(const std::string& title, int raiseRequests, std::string& error,
                   std::function<void()> firstFrameShown = nullptr);

    // How the screen (`screen`, points) sits in an area of `width` x `height`: the largest scale
    // that shows all of it, centred.
    struct Fit {
        double scale = 1;
        double x = 0;
        double y = 0;
        CGPoint toScreen(double areaX, double areaY) const {
            return {(areaX - x) / scale, (areaY - y) / scale};
        }
    };
    static Fit fit(double width, double height, const CGRect& screen);

    // One frame of the window's drawing area, `width` x `height`: the screen fitted and centred
    // on a dark surround. What the window shows, and what a test compares a screenshot with.
    static void drawFrame(cairo_t* cr, int width, int height);
};

} // namespace platform
