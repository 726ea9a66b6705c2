#include "platform/foundation/FontLock.h"

#include <mutex>

namespace platform {

namespace {

std::mutex& fonts() {
    static std::mutex mutex;
    return mutex;
}

// How many guards the calling thread holds.
thread_local int depth = 0;

} // namespace

FontLock::Guard::Guard() {
    if (depth++ == 0) fonts().lock();
}

FontLock::Guard::~Guard() {
    if (--depth == 0) fonts().unlock();
}

FontLock::Released::Released() : depth_(depth) {
    if (depth_ == 0) return;
    depth = 0;
    fonts().unlock();
}

FontLock::Released::~Released() {
    if (depth_ == 0) return;
    fonts().lock();
    depth = depth_;
}

bool FontLock::isHeld() {
    return depth > 0;
}

} // namespace platform
