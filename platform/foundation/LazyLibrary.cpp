#include "platform/foundation/LazyLibrary.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/foundation/Console.h"
#include "platform/foundation/Sandbox.h"

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

struct LazyLibrary::Answers {
    std::mutex mutex;
    std::map<std::string, std::optional<std::string>> bySoname;
    // Given by the test hook: what the next load answers instead of the loader, and the answer it
    // replaced, which comes back at a reset.
    std::map<std::string, std::string> refusals;
    std::map<std::string, std::optional<std::optional<std::string>>> replaced;
};

LazyLibrary::Answers& LazyLibrary::answers() {
    // Never destroyed: a worker may ask while the program exits.
    static auto& instance = *new Answers;
    return instance;
}

void LazyLibrary::refuseForTesting(const char* soname, std::string why) {
    auto& a = answers();
    // Registered here, on the test's thread, not by the first load, which may be a worker's.
    static const bool resets = [&a] {
        registerSharedInstanceReset([&a] {
            std::lock_guard lock(a.mutex);
            a.refusals.clear();
            for (auto& [name, before] : std::exchange(a.replaced, {}))
                if (before)
                    a.bySoname[name] = *before;
                else
                    a.bySoname.erase(name);
        });
        return true;
    }();
    (void)resets;
    std::lock_guard lock(a.mutex);
    if (!a.replaced.count(soname)) {
        auto known = a.bySoname.find(soname);
        a.replaced[soname] = known != a.bySoname.end() ? std::optional(known->second) : std::nullopt;
    }
    a.bySoname.erase(soname);
    a.refusals[soname] = std::move(why);
}

std::optional<std::string> LazyLibrary::knownFailure(const char* soname) {
    auto& a = answers();
    std::lock_guard lock(a.mutex);
    auto known = a.bySoname.find(soname);
    return known != a.bySoname.end() ? known->second : std::nullopt;
}

std::optional<std::string> LazyLibrary::load(const char* soname) {
    auto& a = answers();
    std::lock_guard lock(a.mutex);
    if (auto known = a.bySoname.find(soname); known != a.bySoname.end()) return known->second;

    std::optional<std::string> failure;
    if (auto refused = a.refusals.find(soname); refused != a.refusals.end()) {
        console().print("Library not available: " + refused->second);
        a.bySoname.emplace(soname, refused->second);
        return refused->second;
    }
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
    a.bySoname.emplace(soname, failure);
    return failure;
}

} // namespace platform
