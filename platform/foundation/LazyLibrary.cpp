#include "platform/foundation/LazyLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

void* LazyLibrary::symbol(const char* soname, const char* name) {
    // The loader counts the opens of one library and hands back the same handle: nothing to keep.
    void* library = dlopen(soname, RTLD_LAZY | RTLD_GLOBAL);
    void* found = library ? dlsym(library, name) : nullptr;
    if (!found) {
        const char* why = dlerror();
        std::fprintf(stderr, "quillora: %s\n", why ? why : name);
        std::fflush(stderr);
        _exit(127);
    }
    return found;
}

} // namespace platform
