#include "platform/desktop/DesktopWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <glib-unix.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <X11/Xproto.h>
#include <gdk/x11/gdkx.h>
// Xlib's hook for turning an error from the wire into an event; its header (Xlibint.h) is not
// meant for C++.
extern "C" {
typedef Bool (*WireToError)(Display*, XErrorEvent*, xError*);
WireToError XESetWireToError(Display*, int, WireToError);
}
#endif

#include "platform/desktop/DesktopEntry.h"
#include "platform/desktop/GtkDesktopServices.h"
#include "platform/desktop/GtkLibrary.h"
#include "platform/desktop/ProcessEnd.h"
#include "platform/desktop/TerminationSignals.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FontLock.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/RunLoop.h"
#include "platform/swiftui/HostingView.h"
#include "platform/uikit/DesktopServices.h"
#include "platform/uikit/KeyboardInput.h"
#include "platform/uikit/ScreenRenderer.h"
#include "platform/uikit/ScrollInput.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"

namespace platform {

bool DesktopWindow::displayAvailable() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("WAYLAND_DISPLAY") || set("DISPLAY");
}

DesktopWindow::Fit DesktopWindow::fit(double width, double height, const CGRect& screen) {
    Fit fit;
    if (screen.width() <= 0 || screen.height() <= 0 || width <= 0 || height <= 0) return fit;
    fit.scale = std::min(width / screen.width(), height / screen.height());
    fit.x = (width - screen.width() * fit.scale) / 2;
    fit.y = (height - screen.height() * fit.scale) / 2;
    return fit;
}

void DesktopWindow::drawFrame(cairo_t* cr, int width, int height) {
    const Fit f = fit(width, height, UIScreen::mainScreen().bounds());
    // What lies beside the screen when the window's shape differs from it.
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.12, 0.12, 0.12);
    cairo_paint(cr);
    cairo_translate(cr, f.x, f.y);
    // On a high-density display the cairo target is scaled already: vector text and shapes drawn
    // at the logical scale come out sharp.
    ScreenRenderer::draw(cr, f.scale);
    cairo_restore(cr);
}

namespace {

// Everything one open window needs; lives on the stack of run().
struct Session {
    GMainLoop* loop = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* area = nullptr;
    GtkIMContext* im = nullptr;
    DesktopWindow::Fit fit;
    CGPoint dragStart;
    CGPoint pointer;
    // A press is down on the screen: its end or cancel is the screens' to hear, once.
    bool pressed = false;
    bool minimized = false;
    bool closed = false;
    // The window system took the window, or the display went: nothing of either may be touched.
    bool gone = false;
    // The application's termination has begun (it runs once).
    bool terminating = false;
    gulong stateHandler = 0;
#ifdef GDK_WINDOWING_X11
    Window xid = 0;
#endif
    guint ticking = 0;    // the frame clock's callback that draws what animates
    gint64 lastFrame = 0; // when the last frame was drawn (GLib's monotonic microseconds)
    std::function<void()> firstFrameShown;
    // What run() set up for the loop, taken down when the window ends.
    GSource* runLoopSource = nullptr;
    guint raiseSource = 0, endSource = 0;
    // The socket a second start asks the window forward through (-1: none); not ours to close.
    int raiseListener = -1;
    std::shared_ptr<GtkDesktopServices> services;
};

// Work that may have changed what the views show: a frame follows at the display's next refresh
// (GTK draws at most once per refresh however often this is asked).
void frameNeeded(Session& s) {
    if (s.area && !s.closed) gtk_widget_queue_draw(s.area);
}

// ---- The main run loop inside GLib's loop ----

struct RunLoopSource {
    GSource source;
    Session* session;
};

gboolean runLoopPrepare(GSource*, gint* timeout) {
    auto& loop = RunLoop::main();
    auto next = loop.nextDeadline();
    if (!next) {
        *timeout = -1;
        return FALSE;
    }
    const double wait = *next - loop.now();
    if (wait <= 0) {
        *timeout = 0;
        return TRUE;
    }
    *timeout = static_cast<gint>(std::ceil(wait * 1000));
    return FALSE;
}

gboolean runLoopCheck(GSource*) {
    auto next = RunLoop::main().nextDeadline();
    return next && *next <= RunLoop::main().now();
}

gboolean runLoopDispatch(GSource* source, GSourceFunc, gpointer) {
    auto* session = reinterpret_cast<RunLoopSource*>(source)->session;
    if (RunLoop::main().runUntilIdle() > 0) frameNeeded(*session);
    return G_SOURCE_CONTINUE;
}

GSourceFuncs runLoopFuncs = {runLoopPrepare, runLoopCheck, runLoopDispatch, nullptr, nullptr, nullptr};

// GTK lays out and draws the text of its own windows (the file chooser, the print dialog) on this
// thread, out of our sight: while the window runs, this thread holds the font lock whenever it
// works and lets it go only while GLib waits for events, so that what a worker prints meanwhile
// never meets GTK's text in cairo.
GPollFunc glibPoll = nullptr;

gint pollWithoutFonts(GPollFD* fds, guint count, gint timeout) {
    FontLock::Released waiting;
    return glibPoll(fds, count, timeout);
}

// ---- Drawing ----

// While something animates, frames at the frame clock's ticks: at each of them while a view moves,
// at every other one while only a spinner turns. Its picture changes twelve times a second, and a
// frame of the whole window costs GTK a fresh image of it each time (over ten milliseconds on a
// busy machine): thirty frames a second show each of its steps at most a thirtieth of a second late.
constexpr gint64 kSpinnerFrameSpacing = 30'000; // microseconds, a little under two ticks

gboolean frameTick(GtkWidget*, GdkFrameClock* clock, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    if (s.closed) {
        s.ticking = 0;
        return G_SOURCE_REMOVE;
    }
    const auto next = ScreenRenderer::nextChangeIn();
    if ((next && *next <= ScreenRenderer::kAnimationFrameInterval) ||
        gdk_frame_clock_get_frame_time(clock) - s.lastFrame >= kSpinnerFrameSpacing)
        frameNeeded(s);
    return G_SOURCE_CONTINUE;
}

gboolean firstFrameDone(gpointer data) {
    auto& s = *static_cast<Session*>(data);
    if (auto shown = std::exchange(s.firstFrameShown, nullptr); shown && !s.closed) shown();
    return G_SOURCE_REMOVE;
}

// With QUILLORA_FRAME_TIMES naming a file, the moment each frame was drawn (monotonic seconds) and
// how long the window's thread has so far waited for a processor (seconds; 0 where the system does
// not say), one frame a line, are added to it: how evenly the window draws can be read from
// outside, and on a loaded machine the time others took the processor told from the window's own.
void noteFrameDrawn() {
    struct Files {
        int times = -1;
        int schedstat = -1;
    };
    // The first frame is drawn on the window's thread, as every other is.
    static const Files files = [] {
        Files f;
        const char* file = std::getenv("QUILLORA_FRAME_TIMES");
        if (!file || !*file) return f;
        f.times = open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        f.schedstat = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
        return f;
    }();
    if (files.times < 0) return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // "on-processor-ns waiting-ns timeslices"
    unsigned long long onProcessor = 0, waiting = 0;
    char stat[96];
    if (files.schedstat >= 0) {
        const auto got = pread(files.schedstat, stat, sizeof stat - 1, 0);
        if (got > 0) {
            stat[got] = '\0';
            if (std::sscanf(stat, "%llu %llu", &onProcessor, &waiting) != 2) waiting = 0;
        }
    }
    char line[64];
    const int length =
        std::snprintf(line, sizeof line, "%lld.%06ld %.6f\n", static_cast<long long>(now.tv_sec),
                      now.tv_nsec / 1000, static_cast<double>(waiting) / 1e9);
    [[maybe_unused]] const auto written = write(files.times, line, static_cast<std::size_t>(length));
}

void drawScreen(GtkDrawingArea*, cairo_t* cr, int width, int height, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    s.fit = DesktopWindow::fit(width, height, UIScreen::mainScreen().bounds());
    DesktopWindow::drawFrame(cr, width, height);
    s.lastFrame = g_get_monotonic_time();
    noteFrameDrawn();
    // After the frame is painted and handed to the display, not inside its drawing.
    if (s.firstFrameShown) g_idle_add(firstFrameDone, &s);
    // What changes by itself (a spinner turning, a view sliding in) is drawn at the frame clock's
    // pace while it does, and the clock is let alone once nothing does. A frame asked for only once
    // the spinner's step is due comes a frame's latency after it, so that on a busy machine its
    // steps came late and unevenly; frames at the clock's pace are never more than one frame's
    // latency behind.
    const bool animating = ScreenRenderer::nextChangeIn().has_value() && !s.closed;
    if (animating && !s.ticking)
        s.ticking = gtk_widget_add_tick_callback(s.area, frameTick, &s, nullptr);
    else if (!animating && s.ticking)
        gtk_widget_remove_tick_callback(s.area, std::exchange(s.ticking, 0));
}

// ---- Pointer ----

void touch(Session& s, UITouchPhase phase, CGPoint point) {
    ScrollInput::touch(phase, point, RunLoop::main().now());
    RunLoop::main().runUntilIdle();
    frameNeeded(s);
}

void dragBegin(GtkGestureDrag*, double x, double y, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    gtk_widget_grab_focus(s.area);
    s.dragStart = s.fit.toScreen(x, y);
    s.pressed = true;
    touch(s, UITouchPhase::Began, s.dragStart);
}

CGPoint dragPoint(Session& s, double dx, double dy) {
    return {s.dragStart.x + dx / s.fit.scale, s.dragStart.y + dy / s.fit.scale};
}

void dragUpdate(GtkGestureDrag*, double dx, double dy, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    if (s.pressed) touch(s, UITouchPhase::Moved, dragPoint(s, dx, dy));
}

void dragEnd(GtkGestureDrag*, double dx, double dy, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    if (!s.pressed) return;
    s.pressed = false;
    touch(s, UITouchPhase::Ended, dragPoint(s, dx, dy));
}

// GTK also cancels a press that has already ended when what its release opened (a modal desktop
// dialog) takes the pointer: that late cancel is not passed on.
void dragCancel(GtkGesture*, GdkEventSequence*, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    if (!s.pressed) return;
    s.pressed = false;
    touch(s, UITouchPhase::Cancelled, s.dragStart);
}

void pointerMoved(GtkEventControllerMotion*, double x, double y, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    s.pointer = s.fit.toScreen(x, y);
}

gboolean wheel(GtkEventControllerScroll* controller, double dx, double dy, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    // A wheel's notch is one unit; a touchpad gives pixels.
    const bool notches = gtk_event_controller_scroll_get_unit(controller) == GDK_SCROLL_UNIT_WHEEL;
    const double step = notches ? ScrollInput::kPointsPerNotch : 1.0 / s.fit.scale;
    // Shift turns a wheel that only goes up and down sideways, as desktop programs take it.
    const auto state = gtk_event_controller_get_current_event_state(GTK_EVENT_CONTROLLER(controller));
    if ((state & GDK_SHIFT_MASK) && dx == 0) std::swap(dx, dy);
    bool taken = ScrollInput::scroll(s.pointer, dx * step, dy * step, notches);
    // Declarative screens scroll their own scroll views, lists and editors.
    for (auto view = taken ? nullptr : ScreenRenderer::hitTest(s.pointer); view && !taken;
         view = view->superview())
        if (auto hosting = std::dynamic_pointer_cast<swiftui::HostingView>(view)) {
            taken =
                hosting->scrollBy(hosting->convertPoint_fromView(s.pointer, nullptr), {dx * step, dy * step});
            hosting->setNeedsDisplay();
        }
    RunLoop::main().runUntilIdle();
    frameNeeded(s);
    return taken;
}

// ---- Keyboard ----

void committed(GtkIMContext*, const char* text, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    KeyboardInput::insertText(text);
    RunLoop::main().runUntilIdle();
    frameNeeded(s);
}

gboolean keyPressed(GtkEventControllerKey*, guint keyval, guint, GdkModifierType state, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    KeyCombo combo;
    combo.control = state & GDK_CONTROL_MASK;
    combo.shift = state & GDK_SHIFT_MASK;
    combo.alt = state & GDK_ALT_MASK;
    // Text comes through the input method; what reaches here are the keys it did not take.
    if (!combo.control && !combo.alt && g_unichar_isprint(gdk_keyval_to_unicode(keyval))) return FALSE;
    const char* name = gdk_keyval_name(keyval);
    if (!name) return FALSE;
    combo.key = name;
    const bool taken = KeyboardInput::pressKey(combo);
    RunLoop::main().runUntilIdle();
    frameNeeded(s);
    return taken;
}

// ---- Application events ----

void toplevelStateChanged(GObject* surface, GParamSpec*, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    const bool minimized = gdk_toplevel_get_state(GDK_TOPLEVEL(surface)) & GDK_TOPLEVEL_STATE_MINIMIZED;
    if (minimized == s.minimized) return;
    s.minimized = minimized;
    // Losing the focus is not leaving: only minimising sends the application to the background.
    auto& app = UIApplication::sharedApplication();
    if (minimized)
        app.simulateEnterBackground();
    else
        app.simulateBecomeActive();
    RunLoop::main().runUntilIdle();
    frameNeeded(s);
}

// The application's picture of the bundle, at the sizes window managers and task switchers ask for.
GList* iconTextures() {
    const std::string picture =
        (NSBundle::mainBundle().bundlePath() / (std::string(NSUserDefaults::kDomainName) + ".png")).string();
    GList* textures = nullptr;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_size(picture.c_str(), size, size, nullptr);
        if (!pixbuf) continue;
        textures = g_list_append(textures, gdk_texture_new_for_pixbuf(pixbuf));
        g_object_unref(pixbuf);
    }
    return textures;
}

void realized(GtkWidget* window, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window));
    if (surface && GDK_IS_TOPLEVEL(surface)) {
        s.stateHandler = g_signal_connect(surface, "notify::state", G_CALLBACK(toplevelStateChanged), &s);
        // GTK finds no sized icon of ours in a theme folder the first time (the bundle's picture
        // lies loose in the bundle): the surface is given the picture itself.
        if (GList* textures = iconTextures()) {
            gdk_toplevel_set_icon_list(GDK_TOPLEVEL(surface), textures);
            g_list_free_full(textures, g_object_unref);
        }
    }
}

// The desktop entry and icon that let the desktop's menus and docks name and show the application.
void installDesktopEntry(const char* applicationId) {
    DesktopEntry entry;
    entry.applicationId = applicationId;
    entry.name = "Quillora";
    entry.comment = "Dictation with spoken symbols and emoji";
    std::error_code ec;
    entry.program = std::filesystem::read_symlink("/proc/self/exe", ec);
    entry.icon = NSBundle::mainBundle().bundlePath() / (std::string(applicationId) + ".png");
    std::string error;
    if (ec || !entry.install(DesktopEntry::userDataFolder(), &error))
        console().print("Desktop entry not installed: " + (ec ? ec.message() : error));
}

// ---- The end ----

// However the window ends, the application terminates once run()'s loop has returned.
void endSession(Session& s) {
    if (s.closed) return;
    s.closed = true;
    g_main_loop_quit(s.loop);
}

gboolean closeRequested(GtkWindow*, gpointer data) {
    endSession(*static_cast<Session*>(data));
    // The window goes once the application has terminated.
    return TRUE;
}

// The window destroyed other than by run() itself.
void windowDestroyed(GtkWidget*, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    if (s.closed) return;
    s.window = nullptr;
    s.gone = true;
    endSession(s);
}

void displayClosed(GdkDisplay*, gboolean, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    s.gone = true;
    endSession(s);
}

gboolean endRequested(gint, GIOCondition, gpointer data) {
    endSession(*static_cast<Session*>(data));
    return G_SOURCE_CONTINUE;
}

void terminateApplication(Session& s);

#ifdef GDK_WINDOWING_X11
// On X11 another client can destroy the window (xdotool windowclose) or end the connection (xkill,
// the server going away). GDK takes either for a fault of the program and stops it; here the
// window ends instead, and the application terminates without the display.
Session* xSession = nullptr;
XErrorHandler gdkErrors = nullptr;
Window xWindow = 0;
// Set once the window is found destroyed: from then on to the program's end (past run()), no X
// error is the program's fault.
bool xWindowGone = false;

gboolean xEvent(GdkDisplay*, XEvent* event, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    if (event->type != DestroyNotify || !s.xid || event->xdestroywindow.window != s.xid) return FALSE;
    xWindowGone = s.gone = true;
    endSession(s);
    // GDK 4.8 stops the program on a window destroyed by another client (an assertion about its
    // GL surface): it is not told.
    return TRUE;
}

// Errors are read before the events queued ahead of them are handled: requests that crossed the
// window's destruction fail before its DestroyNotify is seen, on the window and on what drawing
// into it made. A resource that vanished is not the program's fault; the program ends through its
// saves once the DestroyNotify comes. Other errors stay GDK's, until the window is gone.
int xErrorHandled(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable ||
        error->error_code == BadPixmap) {
        if (xWindow && error->resourceid == xWindow) xWindowGone = true;
        return 0;
    }
    if (xWindowGone) return 0;
    return gdkErrors ? gdkErrors(display, error) : 0;
}

// GDK puts its own handler in place of any other while one of its error traps is pushed, and
// that handler stops the program on an error outside the trap's requests: a window destroyed
// while GDK is setting its properties or drawing (a redraw mid-dictation) reaches it. Xlib turns
// each error from the wire into an event through the display's conversion first, whoever handles
// it: there an error about our window tells that it is gone, and from then on no error is passed
// on, so none can stop the program before it has ended through its saves.
WireToError wireErrors[256] = {};

Bool xWireError(Display* display, XErrorEvent* error, xError* wire) {
    if (const WireToError previous = wireErrors[wire->errorCode]; previous && !previous(display, error, wire))
        return False;
    const bool vanished =
        error->error_code == BadWindow || error->error_code == BadDrawable || error->error_code == BadPixmap;
    if (vanished && xWindow && error->resourceid == xWindow) xWindowGone = true;
    return xWindowGone ? False : True;
}

int xConnectionLost(Display*) {
    // Xlib calls the exit handler next, which ends the session instead of the process.
    return 0;
}

// Xlib keeps the display locked once the connection is lost, so the next call into it (GDK's
// drawing, which may be what met the loss, or the window's teardown after the termination) would
// wait forever: nothing may return to Xlib. The application terminates here unless it has begun
// to already, and the process ends with 0.
void xConnectionLostExit(Display*, void*) {
    if (Session* s = xSession; s && !s->terminating) {
        s->gone = true;
        endSession(*s);
        terminateApplication(*s);
    }
    ProcessEnd::exit(0);
}

// Whether the connection to the X server has been cut (the server ended at a logout) while the
// application terminated, which does not read from it: then nothing may touch the display.
bool xConnectionCut() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    pollfd connection{ConnectionNumber(gdk_x11_display_get_xdisplay(display)), POLLIN | POLLRDHUP, 0};
    return poll(&connection, 1, 0) == 1 && (connection.revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL));
}

void watchX11(Session& s) {
    GdkDisplay* display = gdk_display_get_default();
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(s.window));
    if (!display || !GDK_IS_X11_DISPLAY(display) || !surface || !GDK_IS_X11_SURFACE(surface)) return;
    s.xid = gdk_x11_surface_get_xid(surface);
    xSession = &s;
    xWindow = s.xid;
    g_signal_connect(display, "xevent", G_CALLBACK(xEvent), &s);
    XErrorHandler previous = XSetErrorHandler(xErrorHandled);
    if (previous != xErrorHandled) gdkErrors = previous;
    Display* xdisplay = gdk_x11_display_get_xdisplay(display);
    for (int code = 1; code < 256; ++code)
        if (WireToError previous = XESetWireToError(xdisplay, code, xWireError); previous != xWireError)
            wireErrors[code] = previous;
    XSetIOErrorHandler(xConnectionLost);
    XSetIOErrorExitHandler(xdisplay, xConnectionLostExit, nullptr);
}
#endif

// The window at the screen's size, smaller where the display is not tall enough for it.
void chooseWindowSize(Session& s) {
    const CGRect screen = UIScreen::mainScreen().bounds();
    double scale = 1;
    GdkDisplay* display = gdk_display_get_default();
    GListModel* monitors = display ? gdk_display_get_monitors(display) : nullptr;
    if (monitors && g_list_model_get_n_items(monitors) > 0) {
        auto* monitor = static_cast<GdkMonitor*>(g_list_model_get_item(monitors, 0));
        GdkRectangle area;
        gdk_monitor_get_geometry(monitor, &area);
        g_object_unref(monitor);
        // Room for the title bar and panels.
        const double room = std::max(200, area.height - 96);
        if (room < screen.height()) scale = room / screen.height();
    }
    gtk_window_set_default_size(GTK_WINDOW(s.window), static_cast<int>(std::lround(screen.width() * scale)),
                                static_cast<int>(std::lround(screen.height() * scale)));
}

// A second start on the same data folder asks for the window: it comes forward, out of the
// minimised state, with the focus. On X11 the request carries the server's current time, so that
// the window manager takes it for a fresh request and not for a window stealing the focus.
gboolean raiseRequested(gint listener, GIOCondition, gpointer data) {
    auto& s = *static_cast<Session*>(data);
    std::vector<int> asking;
    for (int fd; (fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;)
        asking.push_back(fd);
    // One raise answers every connection waiting: a byte back tells the start that asked that a
    // live window has come forward. A window that is ending answers nothing.
    const bool live = !s.closed;
    for (int fd : asking) {
        if (live) [[maybe_unused]]
            const ssize_t sent = send(fd, "1", 1, MSG_NOSIGNAL);
        close(fd);
    }
    if (!live) return G_SOURCE_CONTINUE;
    guint32 time = GDK_CURRENT_TIME;
#ifdef GDK_WINDOWING_X11
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(s.window));
    if (surface && GDK_IS_X11_SURFACE(surface)) time = gdk_x11_get_server_time(surface);
#endif
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_window_present_with_time(GTK_WINDOW(s.window), time);
    G_GNUC_END_IGNORE_DEPRECATIONS
    return G_SOURCE_CONTINUE;
}

// The desktop's dark or light preference, where GTK reports one: an explicit dark preference or a
// dark variant of the theme. Screens made later (sheets) read it as the device's appearance.
void followDesktopAppearance() {
    GtkSettings* settings = gtk_settings_get_default();
    if (!settings) return;
    auto apply = +[](GtkSettings* settings, GParamSpec*, gpointer) {
        gboolean preferDark = FALSE;
        gchar* theme = nullptr;
        g_object_get(settings, "gtk-application-prefer-dark-theme", &preferDark, "gtk-theme-name", &theme,
                     nullptr);
        std::string name = theme ? theme : "";
        g_free(theme);
        const bool darkTheme = name.size() >= 5 && (name.compare(name.size() - 5, 5, "-dark") == 0 ||
                                                    name.compare(name.size() - 5, 5, ":dark") == 0);
        UIScreen::mainScreen().setUserInterfaceStyle(preferDark || darkTheme ? UIUserInterfaceStyle::Dark
                                                                             : UIUserInterfaceStyle::Light);
    };
    apply(settings, nullptr, nullptr);
    g_signal_connect(settings, "notify::gtk-application-prefer-dark-theme", G_CALLBACK(apply), nullptr);
    g_signal_connect(settings, "notify::gtk-theme-name", G_CALLBACK(apply), nullptr);
}

// The window has ended: the application terminates as it would on the device, and what that
// saves is written before the process ends. GLib's loop stays still meanwhile: a second signal,
// the window or the display going, cannot cut the saves short.
void terminateApplication(Session& s) {
    if (std::exchange(s.terminating, true)) return;
    RunLoop::main().setWakeHandler(nullptr);
    if (s.raiseSource) g_source_remove(std::exchange(s.raiseSource, 0));
    // A second start from now on is refused at once rather than left waiting for an answer: it
    // takes the data folder over once this program has let it go.
    if (s.raiseListener >= 0) shutdown(s.raiseListener, SHUT_RDWR);
    if (s.endSource) g_source_remove(std::exchange(s.endSource, 0));
    s.closed = true;
    if (s.runLoopSource) {
        g_source_destroy(s.runLoopSource);
        g_source_unref(std::exchange(s.runLoopSource, nullptr));
    }
    UIApplication::sharedApplication().terminateAndSettle();
    s.services->setParentWindow(nullptr);
    DesktopServices::install(nullptr);
    g_signal_handlers_disconnect_by_data(gdk_display_get_default(), &s);
#ifdef GDK_WINDOWING_X11
    xSession = nullptr;
#endif
}

} // namespace

int DesktopWindow::run(const std::string& title, int raiseRequests, std::string& error,
                       std::function<void()> firstFrameShown) {
    if (!displayAvailable()) {
        error = "no display: neither WAYLAND_DISPLAY nor DISPLAY is set";
        return 1;
    }
    if (auto missing = loadWindowLibraries()) {
        error = "the window cannot be opened without its toolkit: " + *missing;
        return 1;
    }
    // The desktop names and groups the window by the application's id (its X11 class) and shows
    // the icon of that name, which the bundle carries.
    const char* applicationId = NSUserDefaults::kDomainName;
    g_set_prgname(applicationId);
    // The cairo renderer, the program's choice (below), draws without GL, yet GDK loads and probes
    // the GL drivers as it opens the display: about half of the time before the window maps under
    // Xvfb (bench/window-start.sh). Left on when GSK_RENDERER asks for another renderer.
    const char* renderer = g_getenv("GSK_RENDERER");
    const bool chooseRenderer = !renderer;
    const bool withoutGL = (!renderer || std::string_view(renderer) == "cairo") && !g_getenv("GDK_DEBUG");
    if (withoutGL) g_setenv("GDK_DEBUG", "gl-disable", TRUE);
    const bool initialized = gtk_init_check();
    if (withoutGL) g_unsetenv("GDK_DEBUG");
    if (!initialized) {
        error = "cannot open the display";
        if (const char* display = std::getenv("DISPLAY")) error += std::string(" '") + display + "'";
        return 1;
    }

    // Uniqueness is the data folder's, not the application's: copies on other folders may run
    // side by side. The application is registered on the desktop's session bus only when there is
    // one: registered without it (a stale bus address) it has no object path, and GTK's
    // accessibility then builds its paths from none and crashes as the window is destroyed.
    GtkApplication* application = nullptr;
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        g_object_unref(bus);
        application = gtk_application_new(applicationId, G_APPLICATION_NON_UNIQUE);
        if (!g_application_register(G_APPLICATION(application), nullptr, nullptr)) {
            g_object_unref(application);
            error = "cannot start the application on the desktop";
            return 1;
        }
    }
#ifdef GDK_WINDOWING_X11
    if (GdkDisplay* display = gdk_display_get_default(); display && GDK_IS_X11_DISPLAY(display))
        gdk_x11_display_set_program_class(display, applicationId);
#endif
    if (GdkDisplay* display = gdk_display_get_default())
        gtk_icon_theme_add_search_path(gtk_icon_theme_get_for_display(display),
                                       NSBundle::mainBundle().bundlePath().c_str());
    installDesktopEntry(applicationId);
    gtk_window_set_default_icon_name(applicationId);

    glibPoll = g_main_context_get_poll_func(nullptr);
    g_main_context_set_poll_func(nullptr, pollWithoutFonts);
    FontLock::windowRunsOnThisThread();
    FontLock::Guard fonts;

    Session s;
    s.firstFrameShown = std::move(firstFrameShown);
    s.loop = g_main_loop_new(nullptr, FALSE);
    UIScreen::mainScreen().setHardwareKeyboard(true);
    followDesktopAppearance();
    s.services = std::make_shared<GtkDesktopServices>();
    DesktopServices::install(s.services);

    s.window = gtk_window_new();
    if (application) gtk_window_set_application(GTK_WINDOW(s.window), application);
    gtk_window_set_title(GTK_WINDOW(s.window), title.c_str());
    chooseWindowSize(s);
    s.services->setParentWindow(s.window);

    s.area = gtk_drawing_area_new();
    gtk_widget_set_focusable(s.area, TRUE);
    gtk_widget_set_hexpand(s.area, TRUE);
    gtk_widget_set_vexpand(s.area, TRUE);
    gtk_widget_set_size_request(s.area, kMinimumWidth, kMinimumHeight);
    gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(s.area), drawScreen, &s, nullptr);
    gtk_window_set_child(GTK_WINDOW(s.window), s.area);

    GtkGesture* drag = gtk_gesture_drag_new();
    gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(drag), GDK_BUTTON_PRIMARY);
    g_signal_connect(drag, "drag-begin", G_CALLBACK(dragBegin), &s);
    g_signal_connect(drag, "drag-update", G_CALLBACK(dragUpdate), &s);
    g_signal_connect(drag, "drag-end", G_CALLBACK(dragEnd), &s);
    g_signal_connect(drag, "cancel", G_CALLBACK(dragCancel), &s);
    gtk_widget_add_controller(s.area, GTK_EVENT_CONTROLLER(drag));

    GtkEventController* motion = gtk_event_controller_motion_new();
    g_signal_connect(motion, "motion", G_CALLBACK(pointerMoved), &s);
    gtk_widget_add_controller(s.area, motion);

    GtkEventController* scroll = gtk_event_controller_scroll_new(GTK_EVENT_CONTROLLER_SCROLL_BOTH_AXES);
    g_signal_connect(scroll, "scroll", G_CALLBACK(wheel), &s);
    gtk_widget_add_controller(s.area, scroll);

    // Typed text comes through the input method, so compose sequences and non-Latin input arrive
    // as the text they make; the keys it does not take are the editing keys.
    s.im = gtk_im_multicontext_new();
    gtk_im_context_set_client_widget(s.im, s.area);
    g_signal_connect(s.im, "commit", G_CALLBACK(committed), &s);
    GtkEventController* keys = gtk_event_controller_key_new();
    gtk_event_controller_key_set_im_context(GTK_EVENT_CONTROLLER_KEY(keys), s.im);
    g_signal_connect(keys, "key-pressed", G_CALLBACK(keyPressed), &s);
    gtk_widget_add_controller(s.area, keys);

    g_signal_connect(s.window, "realize", G_CALLBACK(realized), &s);
    g_signal_connect(s.window, "close-request", G_CALLBACK(closeRequested), &s);
    g_signal_connect(s.window, "destroy", G_CALLBACK(windowDestroyed), &s);
    g_signal_connect(gdk_display_get_default(), "closed", G_CALLBACK(displayClosed), &s);

    s.runLoopSource = g_source_new(&runLoopFuncs, sizeof(RunLoopSource));
    reinterpret_cast<RunLoopSource*>(s.runLoopSource)->session = &s;
    g_source_attach(s.runLoopSource, nullptr);
    // Work queued from another thread (the audio engine, recognition) wakes GLib's loop.
    RunLoop::main().setWakeHandler([] { g_main_context_wakeup(nullptr); });

    s.raiseListener = raiseRequests;
    s.raiseSource = raiseRequests >= 0 ? g_unix_fd_add(raiseRequests, G_IO_IN, raiseRequested, &s) : 0;
    // Readable from the first signal on, so one that came while the window opened ends it too.
    s.endSource = TerminationSignals::fd() >= 0
                      ? g_unix_fd_add(TerminationSignals::fd(), G_IO_IN, endRequested, &s)
                      : 0;

    // The screens are drawn with cairo into one area, which GTK's cairo renderer shows for half the
    // processor time of its GL renderer and maps sooner (bench/window-start.sh). GSK_RENDERER still
    // chooses; the window's renderer is made as it is shown, and what the program starts later
    // (a browser, a mail client) is not given our choice.
    if (chooseRenderer) g_setenv("GSK_RENDERER", "cairo", TRUE);
    gtk_window_present(GTK_WINDOW(s.window));
    if (chooseRenderer) g_unsetenv("GSK_RENDERER");
#ifdef GDK_WINDOWING_X11
    watchX11(s);
#endif
    gtk_widget_grab_focus(s.area);
    gtk_im_context_focus_in(s.im);
    g_main_loop_run(s.loop);
    terminateApplication(s);
#ifdef GDK_WINDOWING_X11
    if (xConnectionCut()) s.gone = true;
#endif
    // Without its window or display GTK has nothing left to take down that the process's end
    // does not: drawing or destroying a window the window system took would stop the program.
    if (s.gone) {
        if (s.window) g_signal_handlers_disconnect_by_data(s.window, &s);
        return 0;
    }

    if (s.stateHandler) {
        if (GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(s.window)))
            g_signal_handler_disconnect(surface, s.stateHandler);
    }
    gtk_window_destroy(GTK_WINDOW(s.window));
    while (g_main_context_pending(nullptr))
        g_main_context_iteration(nullptr, FALSE);
    g_object_unref(s.im);
    g_main_loop_unref(s.loop);
    if (application) g_object_unref(application);
    return 0;
}

} // namespace platform
