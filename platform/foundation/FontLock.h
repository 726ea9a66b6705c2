#pragma once
// The one lock under which fonts are used, on every thread.
//
// cairo (1.16, Debian's) keeps the glyphs of every font of the process in one cache. A thread
// adding glyphs holds its font's lock and then the cache's; when the cache is full it evicts
// glyphs of another font, taking that font's lock while it holds the cache's. Two threads each
// looking glyphs up in a font of their own can so wait for each other forever: with text of many
// distinct glyphs (ideographs, piles of marks) laid out on several threads it happens within
// seconds. pango reaches that cache whenever it measures or shapes, cairo whenever it shows glyphs
// or writes a page that holds them, and both when they let fonts go.
//
// So whatever lays text out, measures it, draws it, writes a page holding it, or releases fonts
// does so holding a FontLock::Guard, whatever thread it runs on. A thread may take it again while
// it holds it. A thread that waits for another while it may hold it lets it go meanwhile through
// FontLock::Released: the other thread may need the fonts to finish.
//
// With QUILLORA_FONT_LOCK_STATS naming a file, the process keeps there the longest hold of the lock
// by a thread other than the window's, the longest wait of the window's thread for it, and how
// often it was taken.

#include <mutex>

namespace platform {

class FontLock {
public:
    class Guard {
    public:
        Guard();
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
    };

    // While it lives, the calling thread holds none of the fonts; then it holds them again as
    // deeply as before. Does nothing on a thread that does not hold them.
    class Released {
    public:
        Released();
        ~Released();
        Released(const Released&) = delete;
        Released& operator=(const Released&) = delete;

    private:
        int depth_;
    };

    // Takes `mutex`, letting the fonts go while another thread holds it: that thread may need them
    // to finish. They are taken again before the mutex is, so that no thread waits for them while
    // it holds the mutex.
    template <class Mutex> static void lockLettingFontsGo(Mutex& mutex) {
        while (!mutex.try_lock()) {
            Released waiting;
            std::lock_guard passed(mutex);
        }
    }

    // The calling thread runs the window: when it waits for the fonts, the others let it have them
    // first. A process without a window (a script, a print process) has no such thread, and its
    // workers take the fonts in turn.
    static void windowRunsOnThisThread();

    // Whether the calling thread holds the lock.
    static bool isHeld();
};

} // namespace platform
