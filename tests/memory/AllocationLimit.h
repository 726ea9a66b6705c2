#pragma once
// Memory that runs out on purpose. Every allocation of this program through operator new is
// counted; while a limit stands, one that would take what is held past it throws std::bad_alloc,
// as it does when the address space runs out (which a sanitizer's shadow memory does not allow
// to be tried for real).

#include <cstddef>

namespace quillora::test {

class AllocationLimit {
public:
    // Allocations fail while they would hold more than `extra` bytes beyond what is held now.
    explicit AllocationLimit(std::size_t extra);
    ~AllocationLimit();
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

    // How many allocations failed under it.
    std::size_t failures() const;
    // Bytes the program holds through operator new.
    static std::size_t held();

private:
    std::size_t failuresBefore_;
};

} // namespace quillora::test
