// SPDX-License-Identifier: MIT
// Hash table with a fixed entry pool.
//
// All memory is taken by HashTab_init in two blocks, the entry pool and the
// bucket array; store, look-up and delete only relink entries between the
// chains and the free list, so they never allocate and cost one equality
// call per chain entry visited.  Entries leave and rejoin the free list at
// its head: the most recently freed entry is the next one used.
#include <libkrc/hashtab.h>

#include <cstdlib>

#include "internal/check.h"
#include "internal/divide.h"

namespace {

// Smallest prime not below 2 * capacity + 1 by trial division with every
// divisor from 3 up (capacity 0 gives 1).  capacity is at most
// HASHTAB_MAX_CAPACITY, so n stays far below 2^32.
constexpr uint32_t bucket_count(uint32_t capacity) {
    uint32_t n = 2 * capacity + 1;
    if (n <= 3)
        return n;
    uint32_t d = 3;
    for (;;) {
        uint32_t q = n / d;
        uint32_t r = n % d;
        if (d > q)
            return n;
        if (r == 0) {
            n += 2;
            d = 3;
        } else {
            ++d;
        }
    }
}

static_assert(bucket_count(0) == 1 && bucket_count(1) == 3 && bucket_count(4) == 11 &&
                  bucket_count(1000) == 2003,
              "bucket count is the smallest prime not below 2 * capacity + 1");

// The largest bucket array's byte size fits in size_t as well: the next prime
// above 2 * HASHTAB_MAX_CAPACITY + 1 is less than 1000 further on (no gap
// between primes below 2^32 reaches 400).
static_assert(2 * HASHTAB_MAX_CAPACITY + 1 + 1000 <= SIZE_MAX / sizeof(HashTabEntry *), "bucket array size fits");

// Keys are accepted as pointers to const and handed to the caller's
// callbacks as the untyped pointers they take; the table itself never writes
// through a key.
inline void *untyped(const void *key) { return const_cast<void *>(key); }

inline uint32_t bucket_of(const HashTab *p, const void *key) {
    const uint32_t n = p->nbuckets;
    return krc::modulo(p->hash(untyped(key), n), n);
}

}  // namespace

extern "C" int HashTab_init(HashTab *p, HashTab_hash_fn hash, HashTab_equal_fn equal, uint32_t capacity,
                            uint32_t userdata) {
    bool too_large = capacity > HASHTAB_MAX_CAPACITY;
    p->hash = hash;
    p->equal = equal;
    p->count = 0;
    p->capacity = capacity;
    p->nbuckets = too_large ? 0 : bucket_count(capacity);
    // A failed initialisation leaves no storage behind and null storage
    // fields, so that HashTab_destroy accepts the header.
    p->entries = nullptr;
    p->freelist = nullptr;
    p->buckets = nullptr;
    if (too_large)
        return 0;

    HashTabEntry *entries = nullptr;
    if (capacity > 0) {
        entries = static_cast<HashTabEntry *>(malloc(capacity * sizeof(HashTabEntry)));
        if (entries == nullptr)
            return 0;
        // Downwards: entry i links to entry i - 1, so stores take the pool
        // from its end towards its start.
        entries[0].next = nullptr;
        for (uint32_t i = 1; i < capacity; ++i)
            entries[i].next = &entries[i - 1];
    }

    auto **buckets = static_cast<HashTabEntry **>(calloc(p->nbuckets, sizeof(HashTabEntry *)));
    if (buckets == nullptr) {
        free(entries);
        return 0;
    }
    p->entries = entries;
    p->freelist = capacity > 0 ? &entries[capacity - 1] : nullptr;
    p->buckets = buckets;
    p->userdata = userdata;
    return 1;
}

extern "C" void HashTab_destroy(HashTab *p) {
    free(static_cast<void *>(p->buckets));
    free(p->entries);
    p->hash = nullptr;
    p->equal = nullptr;
    p->count = 0;
    p->capacity = 0;
    p->nbuckets = 0;
    p->entries = nullptr;
    p->freelist = nullptr;
    p->buckets = nullptr;
    p->userdata = 0;
}

extern "C" void *HashTab_lookup(HashTab *p, const void *key) {
    KRC_CHECK_TEXT(p != nullptr, "p != NULL");
    KRC_CHECK_TEXT(key != nullptr, "key != NULL");
    for (HashTabEntry *e = p->buckets[bucket_of(p, key)]; e != nullptr; e = e->next) {
        if (p->equal(untyped(key), e->key))
            return e->value;
    }
    return nullptr;
}

extern "C" int HashTab_store(HashTab *p, const void *key, void *value) {
    // A null p skips the full test and reaches HashTab_lookup's check.
    if (p != nullptr && p->count >= p->capacity)
        return 0;
    // The duplicate test, and the argument checks, are HashTab_lookup's.
    if (HashTab_lookup(p, key) != nullptr)
        return 0;
    HashTabEntry *bucket = p->freelist;
    KRC_CHECK_TEXT(bucket != nullptr, "bucket != NULL");
    p->freelist = bucket->next;
    HashTabEntry **head = &p->buckets[bucket_of(p, key)];
    bucket->next = *head;
    *head = bucket;
    bucket->key = untyped(key);
    bucket->value = value;
    ++p->count;
    return 1;
}

extern "C" void HashTab_delete(HashTab *p, const void *key) {
    KRC_CHECK_TEXT(p != nullptr, "p != NULL");
    KRC_CHECK_TEXT(key != nullptr, "key != NULL");
    HashTabEntry **link = &p->buckets[bucket_of(p, key)];
    while (*link != nullptr && !p->equal(untyped(key), (*link)->key))
        link = &(*link)->next;
    HashTabEntry *found = *link;
    if (found == nullptr)
        return;
    *link = found->next;
    if (p->count > 0)
        --p->count;
    found->next = p->freelist;
    p->freelist = found;
}

extern "C" uint32_t HashTab_hashMem(const void *key, uint32_t nbuckets, uint32_t len) {
    if (len == 0)
        return 0;
    auto *bytes = static_cast<const unsigned char *>(key);
    uint32_t h = 0;
    for (uint32_t i = 0; i < len; ++i)
        h = bytes[i] ^ (h << 1);
    return krc::modulo(h, nbuckets);
}
