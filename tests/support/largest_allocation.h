// The largest single heap block asked for while a piece of code runs, for tests that check a hostile
// header cannot make a loader allocate what it claims.
#pragma once

#include "allocation_hook.h"

#include <atomic>
#include <cstddef>
#include <functional>

namespace largest_allocation {

inline std::atomic<std::size_t> largest{0};

inline void OnAllocation(std::size_t size) {
    if (size > largest) largest = size;
}

} // namespace largest_allocation

// Runs `body`; the size of the largest block it allocated, or 0 where nothing is counted.
inline std::size_t LargestAllocationDuring(const std::function<void()>& body) {
    largest_allocation::largest = 0;
    allocation_hook::Install(largest_allocation::OnAllocation);
    body();
    allocation_hook::Install(nullptr);
    return largest_allocation::largest;
}
