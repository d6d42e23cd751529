// Interposed allocator for allocation-failure injection; see alloc_fault.h.
//
// The definitions below take precedence over the C library's (and, in
// sanitized builds, over the sanitizer runtime's) for the whole process, the
// library under test included.  The real functions are found with
// dlsym(RTLD_NEXT); allocations made while that lookup runs come from a small
// static arena.
#include "alloc_fault.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

using MallocFn = void *(*)(size_t);
using CallocFn = void *(*)(size_t, size_t);
using ReallocFn = void *(*)(void *, size_t);
using FreeFn = void (*)(void *);
using PosixMemalignFn = int (*)(void **, size_t, size_t);

struct RealAllocator {
    MallocFn malloc_fn = nullptr;
    CallocFn calloc_fn = nullptr;
    ReallocFn realloc_fn = nullptr;
    FreeFn free_fn = nullptr;
    PosixMemalignFn posix_memalign_fn = nullptr;
};

RealAllocator real;
bool resolving = false;

// Bootstrap arena for the allocations of dlsym itself.
alignas(16) unsigned char arena[16384];
size_t arena_used = 0;

bool in_arena(const void *p) {
    auto *b = static_cast<const unsigned char *>(p);
    return b >= arena && b < arena + sizeof arena;
}

void *arena_alloc(size_t n) {
    size_t start = (arena_used + 15) & ~static_cast<size_t>(15);
    if (start + n > sizeof arena)
        return nullptr;
    arena_used = start + n;
    return arena + start;
}

void resolve() {
    if (real.free_fn || resolving)
        return;
    resolving = true;
    RealAllocator r;
    r.malloc_fn = reinterpret_cast<MallocFn>(dlsym(RTLD_NEXT, "malloc"));
    r.calloc_fn = reinterpret_cast<CallocFn>(dlsym(RTLD_NEXT, "calloc"));
    r.realloc_fn = reinterpret_cast<ReallocFn>(dlsym(RTLD_NEXT, "realloc"));
    r.posix_memalign_fn = reinterpret_cast<PosixMemalignFn>(dlsym(RTLD_NEXT, "posix_memalign"));
    r.free_fn = reinterpret_cast<FreeFn>(dlsym(RTLD_NEXT, "free"));
    real = r;
    resolving = false;
}

// Blocks allocated inside the active scope and not yet freed: an
// open-addressing set that never allocates itself.
constexpr size_t kSlots = size_t{1} << 16;
void *const kTombstone = reinterpret_cast<void *>(uintptr_t{1});
void *live_set[kSlots];
long live_count = 0;

size_t slot_of(const void *p) {
    auto v = reinterpret_cast<uintptr_t>(p);
    v ^= v >> 17;
    v *= 0x9E3779B1u;
    return (v ^ (v >> 15)) & (kSlots - 1);
}

void track(void *p) {
    for (size_t i = slot_of(p);; i = (i + 1) & (kSlots - 1)) {
        if (live_set[i] == nullptr || live_set[i] == kTombstone) {
            live_set[i] = p;
            ++live_count;
            return;
        }
    }
}

bool untrack(void *p) {
    for (size_t i = slot_of(p); live_set[i] != nullptr; i = (i + 1) & (kSlots - 1)) {
        if (live_set[i] == p) {
            live_set[i] = kTombstone;
            --live_count;
            return true;
        }
    }
    return false;
}

struct ScopeState {
    bool active = false;
    long fail_at = -1;
    long allocations = 0;
    long frees = 0;
    bool failed = false;
};
ScopeState scope;

// Counts one allocation of the active scope; true when it is the one to fail.
bool should_fail() {
    if (!scope.active)
        return false;
    long index = scope.allocations++;
    if (index == scope.fail_at) {
        scope.failed = true;
        return true;
    }
    return false;
}

void note_allocated(void *p) {
    if (scope.active && p != nullptr && live_count < static_cast<long>(kSlots / 2))
        track(p);
}

}  // namespace

extern "C" {

void *malloc(size_t n) noexcept {
    resolve();
    if (!real.malloc_fn)
        return arena_alloc(n);
    if (should_fail())
        return nullptr;
    void *p = real.malloc_fn(n);
    note_allocated(p);
    return p;
}

void *calloc(size_t n, size_t size) noexcept {
    resolve();
    if (!real.calloc_fn)
        return (size != 0 && n > SIZE_MAX / size) ? nullptr : arena_alloc(n * size);
    if (should_fail())
        return nullptr;
    void *p = real.calloc_fn(n, size);
    note_allocated(p);
    return p;
}

void *realloc(void *old, size_t n) noexcept {
    resolve();
    if (in_arena(old) || !real.realloc_fn) {
        void *p = real.malloc_fn ? real.malloc_fn(n) : arena_alloc(n);
        if (p && old) {
            size_t room = static_cast<size_t>(arena + sizeof arena - static_cast<unsigned char *>(old));
            std::memcpy(p, old, n < room ? n : room);
        }
        return p;
    }
    bool tracked = old && scope.active && untrack(old);
    void *p = real.realloc_fn(old, n);
    if (p && tracked)
        track(p);
    else if (!p && tracked)
        track(old);
    return p;
}

int posix_memalign(void **out, size_t alignment, size_t size) noexcept {
    resolve();
    if (!real.posix_memalign_fn)
        return 12;  // ENOMEM
    if (should_fail())
        return 12;
    int rc = real.posix_memalign_fn(out, alignment, size);
    if (rc == 0)
        note_allocated(*out);
    return rc;
}

void free(void *p) noexcept {
    if (p == nullptr || in_arena(p))
        return;
    resolve();
    if (scope.active && untrack(p))
        ++scope.frees;
    real.free_fn(p);
}

}  // extern "C"

namespace krc_test {

AllocScope::AllocScope(long fail_at) {
    resolve();
    std::memset(live_set, 0, sizeof live_set);
    live_count = 0;
    scope = ScopeState{};
    scope.fail_at = fail_at;
    scope.active = true;
}

AllocScope::~AllocScope() {
    scope.active = false;
    std::memset(live_set, 0, sizeof live_set);
    live_count = 0;
}

long AllocScope::allocations() const { return scope.allocations; }
long AllocScope::frees() const { return scope.frees; }
long AllocScope::live() const { return live_count; }
bool AllocScope::failed() const { return scope.failed; }

long sweep_alloc_failures(const std::function<void(long k)> &op) {
    for (long k = 0;; ++k) {
        bool failed;
        long live;
        {
            AllocScope s(k);
            op(k);
            failed = s.failed();
            live = s.live();
        }
        EXPECT_EQ(live, 0) << "blocks leaked when allocation " << k << " failed";
        if (!failed)
            return k;
        if (k > 100000) {
            ADD_FAILURE() << "operation never completed without a failed allocation";
            return k;
        }
    }
}

}  // namespace krc_test
