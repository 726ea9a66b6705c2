#include "platform/foundation/LazyLibrary.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/foundation/Console.h"

namespace platform {

namespace {

std::string loaderError(const char* what) {
    const char* why = dlerror();
    return why ? why : std::string(what) + " cannot be found";
}

} // namespace

LazyLibrary::Function*& LazyLibrary::first() {
    // Constant-initialised: the functions of every source file join it before main, in any order.
    static Function* head = nullptr;
    return head;
}

LazyLibrary::Function::Function(const char* soname, const char* name) : soname_(soname), name_(name) {
    next_ = std::exchange(first(), this);
}

void* LazyLibrary::Function::calledUnloaded() const {
    fatalError(std::string(name_) + " of " + soname_ + " was called before its library was loaded");
}

std::optional<std::string> LazyLibrary::load(const char* soname) {
    // Never destroyed: a worker may ask while the program exits.
    static auto& mutex = *new std::mutex;
    static auto& answers = *new std::map<std::string, std::optional<std::string>>;
    std::lock_guard lock(mutex);
    if (auto known = answers.find(soname); known != answers.end()) return known->second;

    std::optional<std::string> failure;
    // The loader counts the opens of one library and hands back the same handle: nothing to keep.
    void* library = dlopen(soname, RTLD_LAZY | RTLD_GLOBAL);
    if (!library) failure = loaderError(soname);
    // All or none: a library that lacks one function gives the program none of them.
    std::vector<std::pair<Function*, void*>> found;
    for (Function* f = first(); f && !failure; f = f->next_) {
        if (std::strcmp(f->soname_, soname) != 0) continue;
        dlerror();
        if (void* address = dlsym(library, f->name_))
            found.emplace_back(f, address);
        else
            failure = loaderError(f->name_);
    }
    if (failure)
        console().print("Library not available: " + *failure);
    else
        for (auto [function, address] : found)
            function->address_.store(address, std::memory_order_release);
    answers.emplace(soname, failure);
    return failure;
}

} // namespace platform
