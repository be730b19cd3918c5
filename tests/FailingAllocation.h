// Makes one allocation through operator new fail with std::bad_alloc, as when memory runs out
// in the middle of some work. Linked into a test executable, it replaces the global
// operator new there; unarmed it only counts nothing and allocates.
#pragma once

#include <cstddef>
#include <cstdint>

// The `nth` allocation of at least `minBytes` from now on (1 = the next one) throws; with
// `otherThreads` only allocations on threads other than the calling one count (the workers of
// a run). A lower bound keeps the failure out of the toolkit's small bookkeeping (timers,
// events), which is not written to survive one: when memory runs out, it is the large
// allocations of the work that fail.
void FailAllocation(int64_t nth, bool otherThreads = false, std::size_t minBytes = 0);
// No allocation fails any more; true when the armed failure happened.
bool StopFailingAllocations();
