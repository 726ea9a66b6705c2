#pragma once
// A library that only some runs use (the window's toolkit, video, mail, vector symbols, the
// speech engine) is opened the first time one of its features is used, not when the program
// starts: the dynamic loader's work for it, which every headless script and every window otherwise
// paid before its first line, falls on the runs that use it. A source file that calls such a
// library includes its headers, then names each function it calls:
//
//     #include <librsvg/rsvg.h>
//     #include "platform/foundation/LazyLibrary.h"
//     #define rsvg_handle_new_from_file QUILLORA_LAZY("librsvg-2.so.2", rsvg_handle_new_from_file)
//
// and its code stays as it was. (Within its own replacement a macro's name is not replaced again,
// so the second `rsvg_handle_new_from_file` is the library's declaration.) A call of a function
// left off the list links the library at start again, which a test of the program's start-up
// catches.
//
// A library may be missing where the program runs, or be some other build that lacks a function:
// the feature asks `LazyLibrary::load` before it calls any function of it and, when it gets a
// reason back, tells the person that it is not available instead of going on. Every function the
// program names for a library is looked up by that one question, so a library it accepts has them
// all.
//
// Only a C library can wait. A C++ one with static objects of its own (poppler) registers their
// destruction when it is opened, after the program's own long-lived objects, so at exit it would
// be torn down first and the program's last PDF view, released later, would use it destroyed.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

namespace platform {

class LazyLibrary {
public:
    // Opens the library `soname` and finds every function of it that the program calls. None when
    // all are there; else why not, in the loader's words (which name the library), once said on
    // the console too. Asked again, it answers the same without opening anything again.
    static std::optional<std::string> load(const char* soname);
    // What `load` answered for `soname` if it was asked before and the library could not be used;
    // none otherwise. Opens nothing: a feature that only may need the library asks this.
    static std::optional<std::string> knownFailure(const char* soname);
    // Test hook: from its next load on, `soname` answers `why`, as a library missing here does,
    // until the shared instances are reset. Only for a library whose answer no feature keeps of its
    // own (the resampler); one opened before keeps its functions.
    static void refuseForTesting(const char* soname, std::string why);

    // One function of a library, as QUILLORA_LAZY names it: known from the program's start, found
    // by `load`.
    class Function {
    public:
        Function(const char* soname, const char* name);
        Function(const Function&) = delete;
        Function& operator=(const Function&) = delete;

        // After the first call, a call through it costs what a call through the linker's own
        // table did.
        void* address() {
            void* found = address_.load(std::memory_order_acquire);
            return found ? found : calledUnloaded();
        }

    private:
        friend class LazyLibrary;
        // A feature that called before asking `load` is a fault of the program, not of the library.
        [[noreturn]] void* calledUnloaded() const;

        const char* soname_;
        const char* name_;
        std::atomic<void*> address_{nullptr};
        Function* next_ = nullptr;
    };

private:
    static Function*& first();
    struct Answers;
    static Answers& answers();
};

// A string literal as a template argument, so that each function named has one Function.
template <std::size_t N> struct LazyName {
    constexpr LazyName(const char (&text)[N]) { std::copy_n(text, N, chars); }
    char chars[N];
};

template <LazyName Soname, LazyName Name> inline LazyLibrary::Function lazyFunction{Soname.chars, Name.chars};

} // namespace platform

#define QUILLORA_LAZY(soname, function)                                                                      \
    (reinterpret_cast<decltype(&::function)>(::platform::lazyFunction<soname, #function>.address()))
