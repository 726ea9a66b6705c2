#include "tests/memory/AllocationLimit.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

std::atomic<std::size_t> held{0};
std::atomic<std::size_t> limit{std::numeric_limits<std::size_t>::max()};
std::atomic<std::size_t> failures{0};

void* allocate(std::size_t size, std::size_t alignment) {
    if (size == 0) size = 1;
    void* p = alignment > alignof(std::max_align_t)
                  ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                  : std::malloc(size);
    if (!p) throw std::bad_alloc();
    const std::size_t usable = ::malloc_usable_size(p);
    if (held.fetch_add(usable) + usable > limit.load()) {
        held.fetch_sub(usable);
        std::free(p);
        failures.fetch_add(1);
        throw std::bad_alloc();
    }
    return p;
}

void* allocateOrNull(std::size_t size, std::size_t alignment) noexcept {
    try {
        return allocate(size, alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void release(void* p) noexcept {
    if (!p) return;
    held.fetch_sub(::malloc_usable_size(p));
    std::free(p);
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size, 0);
}
void* operator new[](std::size_t size) {
    return allocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateOrNull(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    release(p);
}

namespace quillora::test {

AllocationLimit::AllocationLimit(std::size_t extra) : failuresBefore_(::failures.load()) {
    ::limit.store(::held.load() + extra);
}

AllocationLimit::~AllocationLimit() {
    ::limit.store(std::numeric_limits<std::size_t>::max());
}

std::size_t AllocationLimit::failures() const {
    return ::failures.load() - failuresBefore_;
}

std::size_t AllocationLimit::held() {
    return ::held.load();
}

} // namespace quillora::test
