#include <libkrc/hashtab.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

namespace {

// Keys are uint32_t cells; the hash is the key's value, so tests choose
// buckets and collisions directly.  Both callbacks count their calls.
int hash_calls, equal_calls;
uint32_t key_hash(void *key, uint32_t) { return ++hash_calls, *static_cast<const uint32_t *>(key); }
int key_equal(void *a, void *b) {
    return ++equal_calls, *static_cast<const uint32_t *>(a) == *static_cast<const uint32_t *>(b);
}

// The smallest prime not below n (n >= 2), by plain trial division.
uint32_t prime_from(uint32_t n) {
    for (uint32_t d = 2; d * d <= n; ++d)
        if (n % d == 0)
            return prime_from(n + 1);
    return n;
}

// After a failed HashTab_init of a header filled with 0xA5: no storage, the
// plain fields set, userdata untouched.
void expect_failed(const HashTab &t, uint32_t capacity) {
    EXPECT_TRUE(t.entries == nullptr && t.freelist == nullptr && t.buckets == nullptr) << capacity;
    EXPECT_TRUE(t.hash == key_hash && t.capacity == capacity && t.count == 0 && t.userdata == 0xA5A5A5A5u);
}

// Runs HashTab_init with its first allocation failed; returns the bucket
// count, which is set before allocating.
uint32_t failed_init(uint32_t capacity) {
    HashTab t;
    std::memset(&t, 0xA5, sizeof t);
    krc_test::AllocScope fail_first(0);
    EXPECT_EQ(HashTab_init(&t, key_hash, key_equal, capacity, 42), 0);
    expect_failed(t, capacity);
    EXPECT_EQ(fail_first.allocations(), capacity <= HASHTAB_MAX_CAPACITY ? 1 : 0);
    uint32_t nbuckets = t.nbuckets;
    HashTab_destroy(&t);
    return nbuckets;
}

// Every pool entry is on exactly one chain, in its key's bucket, or on the
// free list; count is the number on chains.
::testing::AssertionResult consistent(const HashTab &t) {
    std::set<const HashTabEntry *> seen;
    auto claim = [&](const HashTabEntry *e) {
        return e >= t.entries && e < t.entries + t.capacity && seen.insert(e).second;
    };
    uint32_t used = 0;
    for (uint32_t b = 0; b < t.nbuckets; ++b)
        for (const HashTabEntry *e = t.buckets[b]; e != nullptr; e = e->next, ++used)
            if (!claim(e) || *static_cast<const uint32_t *>(e->key) % t.nbuckets != b)
                return ::testing::AssertionFailure() << "bad, repeated or misplaced entry on chain " << b;
    for (const HashTabEntry *e = t.freelist; e != nullptr; e = e->next)
        if (!claim(e))
            return ::testing::AssertionFailure() << "bad or repeated entry on the free list";
    if (used != t.count || seen.size() != t.capacity)
        return ::testing::AssertionFailure() << "count " << t.count << ", on chains " << used << ", reached "
                                             << seen.size() << " of " << t.capacity;
    return ::testing::AssertionSuccess();
}

struct HashTabTest : ::testing::Test {
    HashTab t{};
    uint32_t keys[200];
    int values[64];
    void init(uint32_t capacity) {
        for (uint32_t i = 0; i < 200; ++i)
            keys[i] = i;
        ASSERT_EQ(HashTab_init(&t, key_hash, key_equal, capacity, 0xC0FFEE), 1);
        ASSERT_EQ(t.userdata, 0xC0FFEEu);
        hash_calls = equal_calls = 0;
    }
    void TearDown() override { HashTab_destroy(&t); }
    int store(uint32_t k, void *v) { return HashTab_store(&t, &keys[k], v); }
    void *lookup(uint32_t k) { return HashTab_lookup(&t, &keys[k]); }
};

TEST(HashTabInit, BucketCountIsSmallestPrimeAboveTwiceCapacity) {
    const uint32_t table[][2] = {{0, 1}, {1, 3}, {2, 5}, {3, 7}, {4, 11}, {10, 23}, {100, 211}, {1000, 2003}};
    for (const auto &row : table)
        EXPECT_EQ(failed_init(row[0]), row[1]) << "capacity " << row[0];
    for (uint32_t capacity = 1; capacity <= 3000; ++capacity)
        ASSERT_EQ(failed_init(capacity), prime_from(2 * capacity + 1)) << "capacity " << capacity;
}

// Every allocation of HashTab_init fails in turn, leaving nothing allocated.
// Capacities above the limit are refused before allocating (nbuckets 0); the
// largest accepted gets as far as the heap, whose first allocation fails.
TEST(HashTabInit, AllocationFailureAndCapacityLimit) {
    for (uint32_t capacity : {0u, 1u, 9u}) {
        long failed = krc_test::sweep_alloc_failures([&](long) {
            HashTab t;
            std::memset(&t, 0xA5, sizeof t);
            if (HashTab_init(&t, key_hash, key_equal, capacity, 42) == 0)
                expect_failed(t, capacity);
            HashTab_destroy(&t);  // also after a failed init
        });
        EXPECT_EQ(failed, capacity ? 2 : 1);
    }
    EXPECT_EQ(failed_init(HASHTAB_MAX_CAPACITY), prime_from(2 * HASHTAB_MAX_CAPACITY + 1));
    EXPECT_EQ(failed_init(HASHTAB_MAX_CAPACITY + 1), 0u);
    EXPECT_EQ(failed_init(UINT32_MAX), 0u);
}

// The pool is taken from its end downwards; deleted entries go to the head of
// the free list and are reused first.  None of this allocates.
TEST_F(HashTabTest, PoolIsTakenDownwardsAndFreedEntriesReused) {
    init(4);
    krc_test::AllocScope scope;
    EXPECT_EQ(t.freelist, &t.entries[3]);
    for (uint32_t k = 0; k < 4; ++k) {
        ASSERT_EQ(store(k, &values[k]), 1);
        EXPECT_EQ(t.buckets[k], &t.entries[3 - k]);
    }
    EXPECT_EQ(t.freelist, nullptr);
    HashTab_delete(&t, &keys[2]);
    HashTab_delete(&t, &keys[0]);
    EXPECT_TRUE(t.freelist == &t.entries[3] && t.freelist->next == &t.entries[1]);
    ASSERT_EQ(store(5, &values[5]), 1);
    EXPECT_EQ(t.buckets[5], &t.entries[3]);
    EXPECT_EQ(lookup(5), &values[5]);
    EXPECT_EQ(scope.allocations() + scope.frees(), 0);
}

// Capacity 0 (no pool at all) and a filled table: every store is refused,
// even of a present key, before any call.
TEST_F(HashTabTest, FullTableRefusesEvenAPresentKeyWithoutCalls) {
    for (uint32_t capacity : {0u, 2u}) {
        HashTab_destroy(&t);
        init(capacity);
        for (uint32_t k = 1; k <= capacity; ++k)
            ASSERT_EQ(store(k, &values[k]), 1);
        hash_calls = equal_calls = 0;
        EXPECT_EQ(store(3, &values[3]), 0);
        EXPECT_EQ(store(1, &values[9]), 0);
        EXPECT_EQ(hash_calls + equal_calls, 0);
        EXPECT_EQ(lookup(1), capacity ? &values[1] : nullptr);
        EXPECT_EQ(lookup(3), nullptr);
        HashTab_delete(&t, &keys[3]);
        EXPECT_TRUE(consistent(t));
    }
}

// Chains run newest first; each operation costs one hash (two for a store
// that succeeds) and one equality per entry visited; a present key is refused.
TEST_F(HashTabTest, ChainOrderCallCountsAndDuplicates) {
    init(10);  // 23 buckets: keys 1, 24 and 47 share bucket 1
    EXPECT_EQ(store(1, &values[1]), 1);
    EXPECT_TRUE(hash_calls == 2 && equal_calls == 0);
    EXPECT_EQ(store(24, &values[24]), 1);
    EXPECT_EQ(store(47, &values[47]), 1);
    EXPECT_TRUE(t.buckets[1]->key == &keys[47] && t.buckets[1]->next->key == &keys[24]);
    hash_calls = equal_calls = 0;
    EXPECT_EQ(store(1, &values[9]), 0);  // present: refused, earlier value kept
    EXPECT_TRUE(hash_calls == 1 && equal_calls == 3);
    EXPECT_EQ(lookup(1), &values[1]);
    HashTab_delete(&t, &keys[24]);  // from the middle of the chain
    EXPECT_EQ(t.buckets[1]->next->key, &keys[1]);
    hash_calls = equal_calls = 0;
    HashTab_delete(&t, &keys[24]);  // absent now
    EXPECT_TRUE(hash_calls == 1 && equal_calls == 2 && t.count == 2);
    EXPECT_EQ(lookup(24), nullptr);
    EXPECT_TRUE(consistent(t));
}

// A stored null value looks absent, so the key can be stored again; the
// newer entry is found first and deleted first.
TEST_F(HashTabTest, NullValueLooksAbsent) {
    init(4);
    ASSERT_EQ(store(3, nullptr), 1);
    EXPECT_EQ(lookup(3), nullptr);
    ASSERT_EQ(store(3, &values[3]), 1);
    EXPECT_EQ(lookup(3), &values[3]);
    HashTab_delete(&t, &keys[3]);
    EXPECT_TRUE(t.count == 1 && t.buckets[3]->value == nullptr && consistent(t));
}

// Destroy zeroes all nine fields, and destroying again frees nothing (the
// full-table test initialises a destroyed header again).
TEST_F(HashTabTest, DestroyZeroes) {
    init(5);
    store(1, &values[1]);
    HashTab_destroy(&t);
    krc_test::AllocScope scope;
    HashTab_destroy(&t);
    EXPECT_EQ(scope.frees() + scope.allocations(), 0);
    EXPECT_TRUE(t.hash == nullptr && t.equal == nullptr && t.count == 0 && t.capacity == 0 && t.nbuckets == 0 &&
                t.entries == nullptr && t.freelist == nullptr && t.buckets == nullptr && t.userdata == 0);
}

TEST(HashTabHashMem, Values) {
    EXPECT_EQ(HashTab_hashMem("abc", 0, 0), 0u);  // nbuckets unused for len 0
    EXPECT_EQ(HashTab_hashMem("abc", UINT32_MAX, 3), 291u);
    EXPECT_EQ(HashTab_hashMem("abc", 211, 3), 80u);
    EXPECT_EQ(HashTab_hashMem("\xFF", UINT32_MAX, 1), 255u);  // bytes are unsigned
    unsigned char a[40], b[40];
    for (int i = 0; i < 40; ++i)
        a[i] = b[i] = static_cast<unsigned char>(i * 37);
    b[7] ^= 0x5A;  // more than 32 bytes before the end
    EXPECT_EQ(HashTab_hashMem(a, UINT32_MAX, 40), HashTab_hashMem(b, UINT32_MAX, 40));
    b[8] ^= 0x01;  // exactly 31 bytes before the last: lands in the top bit
    EXPECT_NE(HashTab_hashMem(a, UINT32_MAX, 40), HashTab_hashMem(b, UINT32_MAX, 40));
}

// Random stores (some of null values), deletes and look-ups on a table of 37
// entries and 79 buckets against a model holding, per key, the values of its
// entries oldest first; the pool is checked after every change.
TEST_F(HashTabTest, RandomOperationsAgainstModel) {
    const uint32_t seed = 20261206;
    std::printf("hash table model seed %u\n", seed);
    std::mt19937 rng(seed);
    init(37);
    std::unordered_map<uint32_t, std::vector<void *>> model;
    uint32_t model_count = 0;
    for (int step = 0; step < 20000; ++step) {
        uint32_t k = rng() % 200, op = rng() % 3;
        auto &vals = model[k];
        void *newest = vals.empty() ? nullptr : vals.back();
        if (op == 0) {
            void *v = rng() % 8 == 0 ? nullptr : &values[rng() % 64];
            int expect = model_count < 37 && newest == nullptr;
            ASSERT_EQ(store(k, v), expect) << "step " << step;
            if (expect)
                vals.push_back(v), ++model_count;
        } else if (op == 1) {
            HashTab_delete(&t, &keys[k]);
            if (!vals.empty())
                vals.pop_back(), --model_count;
        }
        ASSERT_EQ(lookup(k), vals.empty() ? nullptr : vals.back()) << "step " << step;
        ASSERT_EQ(t.count, model_count) << "step " << step;
        ASSERT_TRUE(consistent(t)) << "step " << step;
    }
}

TEST_F(HashTabTest, Assertions) {
    init(2);
    const char *f = "src/hashtab.cpp";
    EXPECT_KRC_ASSERT(HashTab_lookup(nullptr, &keys[1]), f, "HashTab_lookup", "p != NULL");
    EXPECT_KRC_ASSERT(HashTab_lookup(&t, nullptr), f, "HashTab_lookup", "key != NULL");
    EXPECT_KRC_ASSERT(HashTab_store(nullptr, &keys[1], nullptr), f, "HashTab_lookup", "p != NULL");
    EXPECT_KRC_ASSERT(HashTab_store(&t, nullptr, nullptr), f, "HashTab_lookup", "key != NULL");
    EXPECT_KRC_ASSERT(HashTab_delete(nullptr, &keys[1]), f, "HashTab_delete", "p != NULL");
    EXPECT_KRC_ASSERT(HashTab_delete(&t, nullptr), f, "HashTab_delete", "key != NULL");
    // A pool corrupted behind the table's back.
    EXPECT_KRC_ASSERT((t.freelist = nullptr, HashTab_store(&t, &keys[1], nullptr)), f, "HashTab_store",
                      "bucket != NULL");
}

}  // namespace
