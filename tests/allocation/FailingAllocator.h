// A global operator new that counts allocations and fails the n-th one on request.
#ifndef KORFLOWID_TESTS_ALLOCATION_FAILINGALLOCATOR_H
#define KORFLOWID_TESTS_ALLOCATION_FAILINGALLOCATOR_H

#include <cstddef>

namespace korflowid::test {

/// From now on, counts every operator new (all forms) and makes the `n`-th one fail: the throwing
/// forms throw std::bad_alloc, the nothrow forms give null. `n` 0 fails none.
void armAllocationFailure(std::size_t n);

/// Stops counting and failing; returns the number of allocations asked for since arming.
std::size_t disarmAllocationFailure();

/// Whether the armed failure happened.
bool allocationFailed();

}  // namespace korflowid::test

#endif  // KORFLOWID_TESTS_ALLOCATION_FAILINGALLOCATOR_H
