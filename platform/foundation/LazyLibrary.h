#pragma once
// A library that only some runs use (the window's toolkit, video, mail, vector symbols, the
// speech engine) is opened the first time one of its functions is called, not when the program
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
// Only a C library can wait. A C++ one with static objects of its own (poppler) registers their
// destruction when it is opened, after the program's own long-lived objects, so at exit it would
// be torn down first and the program's last PDF view, released later, would use it destroyed.

namespace platform {

class LazyLibrary {
public:
    // The function `name` of the library `soname`, opened on first use. A library or function
    // that is missing ends the program with the loader's message and status 127, as a missing
    // library did when it was linked at start.
    static void* symbol(const char* soname, const char* name);
};

} // namespace platform

// Each call site keeps the address it was given: after the first call, a call through it costs
// what a call through the linker's own table did.
#define QUILLORA_LAZY(soname, function)                                                                      \
    ([]() noexcept {                                                                                         \
        static const auto resolved =                                                                         \
            reinterpret_cast<decltype(&::function)>(::platform::LazyLibrary::symbol(soname, #function));     \
        return resolved;                                                                                     \
    }())
