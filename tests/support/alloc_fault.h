/* SPDX-License-Identifier: MIT */
// Allocation-failure injection for the test programs.
//
// Every test program links an interposed malloc, calloc,
// posix_memalign and free.  Outside an AllocScope they only forward to the
// real allocator.  Inside one they count the allocations made through
// malloc, calloc and posix_memalign, can make one chosen allocation fail, and
// keep track of which blocks that were allocated inside the scope are still
// live, so a test can tell exactly what an operation leaked.
#ifndef LIBKRC_TESTS_ALLOC_FAULT_H
#define LIBKRC_TESTS_ALLOC_FAULT_H

#include <cstddef>
#include <functional>

namespace krc_test {

class AllocScope {
public:
    // fail_at: index (0-based) of the allocation inside this scope that
    // fails; a negative value fails none.  Scopes do not nest.
    explicit AllocScope(long fail_at = -1);
    ~AllocScope();
    AllocScope(const AllocScope &) = delete;
    AllocScope &operator=(const AllocScope &) = delete;

    long allocations() const;  // allocation calls so far, the failed one included
    long frees() const;        // free() calls on blocks allocated in this scope
    long live() const;         // blocks allocated in this scope and not yet freed
    bool failed() const;       // whether the chosen allocation has been failed
};

// The SQLite-style sweep: runs `op(k)` inside AllocScope(k) for
// k = 0, 1, 2, ... until a run in which no allocation was failed, and returns
// the number of runs that saw a failure.  After each run `op` must have
// released everything; a run that leaves live blocks fails the current test
// with k in the message.
long sweep_alloc_failures(const std::function<void(long k)> &op);

}  // namespace krc_test

#endif
