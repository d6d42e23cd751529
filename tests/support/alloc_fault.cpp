// SPDX-License-Identifier: MIT
// Interposed allocator for allocation-failure injection; see alloc_fault.h.
//
// These definitions take precedence over the C library's (and, in sanitized
// builds, the sanitizer runtime's) for the whole process, the library under
// test included.  The real functions are found with dlsym(RTLD_NEXT);
// allocations made while that lookup runs come from a small static arena.
#include "alloc_fault.h"

#include <dlfcn.h>

#include <cstdint>

#include <gtest/gtest.h>

namespace {

struct Real {
    void *(*malloc)(size_t) = nullptr;
    void *(*calloc)(size_t, size_t) = nullptr;
    int (*posix_memalign)(void **, size_t, size_t) = nullptr;
    void (*free)(void *) = nullptr;
} real;
bool resolving = false;

alignas(16) unsigned char arena[16384];  // zero-filled, so calloc may use it too
size_t arena_used = 0;

void *arena_alloc(size_t n) {
    size_t start = (arena_used + 15) & ~size_t{15};
    if (n > sizeof arena - start)
        return nullptr;
    arena_used = start + n;
    return arena + start;
}

bool in_arena(const void *p) { return p >= arena && p < arena + sizeof arena; }

template <typename Fn>
void lookup(Fn &fn, const char *name) {
    fn = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

bool resolved() {
    if (real.free == nullptr && !resolving) {
        resolving = true;
        Real r;
        lookup(r.malloc, "malloc");
        lookup(r.calloc, "calloc");
        lookup(r.posix_memalign, "posix_memalign");
        lookup(r.free, "free");
        real = r;
        resolving = false;
    }
    return real.free != nullptr;
}

// The active scope: allocation count, the one to fail, and the blocks it
// allocated that are still live (a plain array: scopes hold few blocks).
struct Scope {
    bool active = false;
    long fail_at = -1, allocations = 0, frees = 0;
    bool failed = false;
    long live = 0;
    void *blocks[4096];
} scope;

bool should_fail() {
    if (!scope.active)
        return false;
    scope.failed |= scope.allocations == scope.fail_at;
    return scope.allocations++ == scope.fail_at;
}

void *note(void *p) {
    if (scope.active && p != nullptr && scope.live < 4096)
        scope.blocks[scope.live++] = p;
    return p;
}

bool forget(void *p) {
    for (long i = 0; i < scope.live; ++i) {
        if (scope.blocks[i] == p) {
            scope.blocks[i] = scope.blocks[--scope.live];
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" {

void *malloc(size_t n) noexcept {
    if (!resolved())
        return arena_alloc(n);
    return should_fail() ? nullptr : note(real.malloc(n));
}

void *calloc(size_t n, size_t size) noexcept {
    if (!resolved())
        return (size != 0 && n > SIZE_MAX / size) ? nullptr : arena_alloc(n * size);
    return should_fail() ? nullptr : note(real.calloc(n, size));
}

int posix_memalign(void **out, size_t alignment, size_t size) noexcept {
    if (!resolved() || should_fail())
        return 12;  // ENOMEM
    int rc = real.posix_memalign(out, alignment, size);
    if (rc == 0)
        note(*out);
    return rc;
}

void free(void *p) noexcept {
    if (p == nullptr || in_arena(p) || !resolved())
        return;
    if (scope.active && forget(p))
        ++scope.frees;
    real.free(p);
}

}  // extern "C"

namespace krc_test {

AllocScope::AllocScope(long fail_at) {
    resolved();
    scope.fail_at = fail_at;
    scope.allocations = scope.frees = scope.live = 0;
    scope.failed = false;
    scope.active = true;
}

AllocScope::~AllocScope() { scope.active = false; }

long AllocScope::allocations() const { return scope.allocations; }
long AllocScope::frees() const { return scope.frees; }
long AllocScope::live() const { return scope.live; }
bool AllocScope::failed() const { return scope.failed; }

long sweep_alloc_failures(const std::function<void(long k)> &op) {
    for (long k = 0; k <= 1000; ++k) {
        AllocScope s(k);
        op(k);
        EXPECT_EQ(s.live(), 0) << "blocks leaked when allocation " << k << " failed";
        if (!s.failed())
            return k;
    }
    ADD_FAILURE() << "operation never completed without a failed allocation";
    return -1;
}

}  // namespace krc_test
