#pragma once
// How a desktop ends a program from outside: SIGTERM at logout and shutdown, SIGHUP when its
// terminal goes away, SIGINT for Ctrl+C. Caught, a signal only marks the end as asked for: the
// program then ends the way quitting does (the application terminates and what that saves is
// saved) and exits with 0. Later signals change nothing, so none of them can cut a save short.

namespace platform {

class TerminationSignals {
public:
    // Catches the three signals from now until the program ends; one that the program was started
    // ignoring (nohup) stays ignored. Only the program calls it: a test process keeps its Ctrl+C.
    static void install();
    // Whether one has come.
    static bool requested();
    // Readable from the first signal on and never emptied, for a loop that polls (GLib's, a
    // reader of standard input); -1 before install().
    static int fd();
};

} // namespace platform
