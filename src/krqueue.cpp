// SPDX-License-Identifier: MIT
// Bounded pointer queue: a ring of slots in which null marks an empty slot.
//
// Both release functions drain through krqueue_get, so the destructor sees
// exactly the elements that krqueue_get would return, oldest first.
#include <libkrc/krqueue.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "internal/check.h"

namespace {

// The slot after `index` in a ring of `capacity` slots: (index + 1) mod
// capacity for every index below capacity, computed with a compare instead
// of a division (the 32-bit target has no divide instruction to rely on).
// An index at or beyond capacity, possible only in a header changed from
// outside, still yields slot 0 rather than one past the array.
inline uint32_t next_slot(uint32_t index, uint32_t capacity) {
    uint32_t next = index + 1;
    return next >= capacity ? 0 : next;
}

// Fields of an empty queue whose slots are already zero.
void init_header(krqueue *p, uint32_t capacity, void **members) {
    p->capacity = capacity;
    p->count = 0;
    p->last_add = capacity - 1;
    p->last_get = capacity - 1;
    p->members = members;
}

void drain(krqueue *p, krqueue_destructor_fn destructor) {
    for (void *elem; (elem = krqueue_get(p)) != nullptr;)
        destructor(elem);
}

}  // namespace

extern "C" krqueue *krqueue_new(uint32_t capacity) {
    if (capacity > KRQUEUE_MAX_CAPACITY)
        return nullptr;
    auto *p = static_cast<krqueue *>(malloc(sizeof(krqueue)));
    if (p == nullptr)
        return nullptr;
    auto *members = static_cast<void **>(calloc(capacity, sizeof(void *)));
    if (members == nullptr) {
        free(p);
        return nullptr;
    }
    init_header(p, capacity, members);
    return p;
}

extern "C" uint32_t krqueue_size(uint32_t capacity) {
    if (capacity > KRQUEUE_MAX_CAPACITY)
        return 0;
    return static_cast<uint32_t>(sizeof(krqueue) + capacity * sizeof(void *));
}

extern "C" krqueue *krqueue_inplace_new(void *mem, uint32_t memsize, uint32_t capacity) {
    KRC_CHECK_TEXT(mem != nullptr, "mem != NULL");
    KRC_CHECK(memsize > 0);
    KRC_CHECK(capacity > 0);
    KRC_CHECK(capacity <= KRQUEUE_MAX_CAPACITY);
    KRC_CHECK(memsize >= krqueue_size(capacity));
    // The header's lifetime starts in the caller's buffer; its slots follow it.
    auto *p = new (mem) krqueue;
    auto **members = reinterpret_cast<void **>(p + 1);
    memset(static_cast<void *>(members), 0, capacity * sizeof(void *));
    init_header(p, capacity, members);
    return p;
}

extern "C" int krqueue_add(krqueue *p, void *elem) {
    KRC_CHECK_TEXT(p != nullptr, "p != NULL");
    KRC_CHECK_TEXT(elem != nullptr, "elem != NULL");
    if (p->count == p->capacity)
        return 0;
    // Header first, slot last (here and in krqueue_get): -Os then keeps every
    // value in a scratch register; the plain order costs an instruction per
    // call on armhf (bench/count/ceilings holds the count).
    ++p->count;
    uint32_t i = next_slot(p->last_add, p->capacity);
    p->last_add = i;
    void **slot = &p->members[i];
    KRC_CHECK_TEXT(*slot == nullptr, "p->members[i] == NULL");
    *slot = elem;
    return 1;
}

extern "C" void *krqueue_get(krqueue *p) {
    KRC_CHECK_TEXT(p != nullptr, "p != NULL");
    if (p->count == 0)
        return nullptr;
    uint32_t i = next_slot(p->last_get, p->capacity);
    p->last_get = i;
    --p->count;
    void **slot = &p->members[i];
    void *elem = *slot;
    KRC_CHECK_TEXT(elem != nullptr, "elem != NULL");
    *slot = nullptr;
    return elem;
}

extern "C" void krqueue_free(krqueue *p, krqueue_destructor_fn destructor) {
    if (p == nullptr)
        return;
    if (destructor != nullptr)
        drain(p, destructor);
    free(static_cast<void *>(p->members));
    free(p);
}

extern "C" void krqueue_inplace_free(krqueue *p, krqueue_destructor_fn destructor) {
    if (p == nullptr || destructor == nullptr)
        return;
    drain(p, destructor);
}
