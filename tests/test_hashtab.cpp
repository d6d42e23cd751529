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
uint32_t key_hash(const void *key, uint32_t) {
    ++hash_calls;
    return *static_cast<const uint32_t *>(key);
}
int key_equal(const void *a, const void *b) {
    ++equal_calls;
    return *static_cast<const uint32_t *>(a) == *static_cast<const uint32_t *>(b);
}

uint32_t smallest_prime_from(uint32_t n) {
    for (;; ++n) {
        bool prime = n >= 2;
        for (uint32_t d = 2; prime && d * d <= n; ++d)
            prime = n % d != 0;
        if (prime)
            return n;
    }
}

bool in_pool(const HashTab &t, const HashTabEntry *e) { return e >= t.entries && e < t.entries + t.capacity; }

// Every pool entry is on exactly one chain, in its key's bucket, or on the
// free list; count is the number on chains.
::testing::AssertionResult consistent(const HashTab &t) {
    std::set<const HashTabEntry *> seen;
    uint32_t used = 0;
    for (uint32_t b = 0; b < t.nbuckets; ++b) {
        for (const HashTabEntry *e = t.buckets[b]; e != nullptr; e = e->next, ++used) {
            if (!in_pool(t, e) || !seen.insert(e).second)
                return ::testing::AssertionFailure() << "bad or repeated entry on chain " << b;
            if (*static_cast<const uint32_t *>(e->key) % t.nbuckets != b)
                return ::testing::AssertionFailure() << "entry on wrong chain " << b;
        }
    }
    for (const HashTabEntry *e = t.freelist; e != nullptr; e = e->next) {
        if (!in_pool(t, e) || !seen.insert(e).second)
            return ::testing::AssertionFailure() << "bad or repeated entry on the free list";
    }
    if (used != t.count || seen.size() != t.capacity)
        return ::testing::AssertionFailure() << "count " << t.count << ", on chains " << used << ", reached "
                                             << seen.size() << " of " << t.capacity;
    return ::testing::AssertionSuccess();
}

struct HashTabTest : ::testing::Test {
    HashTab t;
    uint32_t keys[64];
    int values[64];
    void SetUp() override {
        for (uint32_t i = 0; i < 64; ++i)
            keys[i] = i;
        hash_calls = equal_calls = 0;
    }
    void init(uint32_t capacity) {
        ASSERT_EQ(HashTab_init(&t, key_hash, key_equal, capacity, 0xC0FFEE), 1);
        hash_calls = equal_calls = 0;
    }
    void TearDown() override { HashTab_destroy(&t); }
    int store(uint32_t k, void *v) { return HashTab_store(&t, &keys[k], v); }
};

TEST(HashTabInit, BucketCountIsSmallestPrimeAboveTwiceCapacity) {
    const struct { uint32_t capacity, nbuckets; } table[] = {
        {0, 1}, {1, 3}, {2, 5}, {3, 7}, {4, 11}, {5, 11}, {10, 23}, {100, 211}, {1000, 2003}};
    for (const auto &row : table) {
        HashTab t;
        krc_test::AllocScope scope;
        ASSERT_EQ(HashTab_init(&t, key_hash, key_equal, row.capacity, 7), 1);
        EXPECT_EQ(t.nbuckets, row.nbuckets) << "capacity " << row.capacity;
        EXPECT_EQ(scope.allocations(), row.capacity ? 2 : 1);
        HashTab_destroy(&t);
        EXPECT_EQ(scope.live(), 0);
    }
    for (uint32_t capacity = 1; capacity <= 3000; ++capacity) {
        HashTab t;
        krc_test::AllocScope fail_first(0);  // the count is set before allocating
        ASSERT_EQ(HashTab_init(&t, key_hash, key_equal, capacity, 0), 0);
        ASSERT_EQ(t.nbuckets, smallest_prime_from(2 * capacity + 1)) << "capacity " << capacity;
    }
}

TEST(HashTabInit, CapacityLimit) {
    HashTab t;
    {
        krc_test::AllocScope fail_first(0);
        EXPECT_EQ(HashTab_init(&t, key_hash, key_equal, HASHTAB_MAX_CAPACITY, 0), 0);
        EXPECT_EQ(t.nbuckets, smallest_prime_from(2 * HASHTAB_MAX_CAPACITY + 1));
        EXPECT_EQ(fail_first.allocations(), 1);
    }
    for (uint32_t capacity : {HASHTAB_MAX_CAPACITY + 1, UINT32_MAX / 2, UINT32_MAX}) {
        krc_test::AllocScope scope;
        std::memset(&t, 0xA5, sizeof t);
        EXPECT_EQ(HashTab_init(&t, key_hash, key_equal, capacity, 0), 0) << capacity;
        EXPECT_EQ(scope.allocations(), 0);
        EXPECT_TRUE(t.entries == nullptr && t.freelist == nullptr && t.buckets == nullptr);
        HashTab_destroy(&t);
    }
}

// Every allocation of HashTab_init fails in turn: 0, nothing left allocated,
// null storage fields, userdata untouched, and destroy is safe.
TEST(HashTabInit, AllocationFailure) {
    for (uint32_t capacity : {0u, 1u, 9u}) {
        long failed = krc_test::sweep_alloc_failures([&](long) {
            HashTab t;
            std::memset(&t, 0xA5, sizeof t);
            if (HashTab_init(&t, key_hash, key_equal, capacity, 42) == 0) {
                EXPECT_TRUE(t.entries == nullptr && t.freelist == nullptr && t.buckets == nullptr);
                EXPECT_EQ(t.hash, key_hash);
                EXPECT_EQ(t.capacity, capacity);
                EXPECT_EQ(t.count, 0u);
                EXPECT_NE(t.userdata, 42u);
            } else {  // no allocation here: it would be counted by the sweep
                EXPECT_EQ(t.freelist, capacity ? &t.entries[capacity - 1] : nullptr);
                EXPECT_EQ(t.userdata, 42u);
            }
            HashTab_destroy(&t);
        });
        EXPECT_EQ(failed, capacity ? 2 : 1);
    }
}

TEST_F(HashTabTest, CapacityZeroIsAnEmptyFullTable) {
    init(0);
    EXPECT_EQ(t.nbuckets, 1u);
    EXPECT_TRUE(t.entries == nullptr && t.freelist == nullptr);
    EXPECT_EQ(store(1, &values[1]), 0);
    EXPECT_EQ(HashTab_lookup(&t, &keys[1]), nullptr);
    HashTab_delete(&t, &keys[1]);
    EXPECT_TRUE(consistent(t));
}

TEST_F(HashTabTest, PoolIsTakenDownwardsAndFreedEntriesReused) {
    init(4);
    EXPECT_EQ(t.freelist, &t.entries[3]);
    for (uint32_t k = 0; k < 4; ++k) {
        ASSERT_EQ(store(k, &values[k]), 1);
        EXPECT_EQ(t.buckets[k], &t.entries[3 - k]);
    }
    EXPECT_EQ(t.freelist, nullptr);
    HashTab_delete(&t, &keys[2]);
    HashTab_delete(&t, &keys[0]);
    EXPECT_EQ(t.freelist, &t.entries[3]);
    EXPECT_EQ(t.freelist->next, &t.entries[1]);
    ASSERT_EQ(store(5, &values[5]), 1);
    EXPECT_EQ(t.buckets[5], &t.entries[3]);
    EXPECT_TRUE(consistent(t));
}

TEST_F(HashTabTest, ChainsRunNewestFirst) {
    init(4);  // 11 buckets: keys 1, 12, 23 share bucket 1
    for (uint32_t k : {1u, 12u, 23u})
        ASSERT_EQ(store(k, &values[k]), 1);
    const HashTabEntry *e = t.buckets[1];
    for (uint32_t k : {23u, 12u, 1u}) {
        ASSERT_EQ(e->key, &keys[k]);
        e = e->next;
    }
    EXPECT_EQ(e, nullptr);
    HashTab_delete(&t, &keys[12]);
    EXPECT_EQ(t.buckets[1]->next->key, &keys[1]);
    EXPECT_EQ(HashTab_lookup(&t, &keys[1]), &values[1]);
    EXPECT_EQ(HashTab_lookup(&t, &keys[12]), nullptr);
    EXPECT_TRUE(consistent(t));
}

TEST_F(HashTabTest, FullTableRefusesEvenAPresentKeyWithoutCalls) {
    init(2);
    ASSERT_EQ(store(1, &values[1]), 1);
    ASSERT_EQ(store(2, &values[2]), 1);
    hash_calls = equal_calls = 0;
    EXPECT_EQ(store(3, &values[3]), 0);
    EXPECT_EQ(store(1, &values[9]), 0);
    EXPECT_EQ(hash_calls + equal_calls, 0);
    EXPECT_EQ(HashTab_lookup(&t, &keys[1]), &values[1]);
    EXPECT_EQ(HashTab_lookup(&t, &keys[3]), nullptr);
}

TEST_F(HashTabTest, CallCountsAndDuplicates) {
    init(10);  // 23 buckets: keys 1 and 24 collide
    EXPECT_EQ(store(1, &values[1]), 1);
    EXPECT_EQ(hash_calls, 2);
    EXPECT_EQ(equal_calls, 0);
    EXPECT_EQ(store(24, &values[24]), 1);
    EXPECT_EQ(equal_calls, 1);
    hash_calls = equal_calls = 0;
    EXPECT_EQ(store(1, &values[9]), 0);  // present: refused, earlier value kept
    EXPECT_EQ(hash_calls, 1);
    EXPECT_EQ(equal_calls, 2);
    EXPECT_EQ(HashTab_lookup(&t, &keys[1]), &values[1]);
    EXPECT_EQ(hash_calls, 2);
    uint32_t absent = 47;  // same bucket, not stored
    hash_calls = equal_calls = 0;
    HashTab_delete(&t, &absent);
    EXPECT_EQ(hash_calls, 1);
    EXPECT_EQ(equal_calls, 2);
    EXPECT_EQ(t.count, 2u);
    EXPECT_TRUE(consistent(t));
}

TEST_F(HashTabTest, NullValueLooksAbsent) {
    init(4);
    ASSERT_EQ(store(3, nullptr), 1);
    EXPECT_EQ(HashTab_lookup(&t, &keys[3]), nullptr);
    ASSERT_EQ(store(3, &values[3]), 1);  // a second entry for the same key, found first
    EXPECT_EQ(t.count, 2u);
    EXPECT_EQ(HashTab_lookup(&t, &keys[3]), &values[3]);
    HashTab_delete(&t, &keys[3]);  // removes the newest only
    EXPECT_EQ(t.count, 1u);
    EXPECT_EQ(t.buckets[3]->value, nullptr);
    EXPECT_TRUE(consistent(t));
}

TEST_F(HashTabTest, OperationsNeverAllocate) {
    init(8);
    krc_test::AllocScope scope;
    for (uint32_t k = 0; k < 20; ++k) {
        store(k % 12, &values[k]);
        HashTab_lookup(&t, &keys[k % 5]);
        HashTab_delete(&t, &keys[k % 7]);
    }
    EXPECT_EQ(scope.allocations(), 0);
    EXPECT_EQ(scope.frees(), 0);
}

TEST_F(HashTabTest, DestroyZeroesAndAllowsReuse) {
    init(5);
    store(1, &values[1]);
    HashTab_destroy(&t);
    EXPECT_TRUE(t.hash == nullptr && t.equal == nullptr && t.count == 0 && t.capacity == 0 && t.nbuckets == 0 &&
                t.entries == nullptr && t.freelist == nullptr && t.buckets == nullptr && t.userdata == 0);
    {
        krc_test::AllocScope scope;
        HashTab_destroy(&t);
        EXPECT_EQ(scope.frees() + scope.allocations(), 0);
    }
    init(3);
    EXPECT_EQ(t.count, 0u);
    EXPECT_EQ(t.userdata, 0xC0FFEEu);
    EXPECT_EQ(HashTab_lookup(&t, &keys[1]), nullptr);
    EXPECT_TRUE(consistent(t));
}

TEST(HashTabHashMem, Values) {
    const char abc[] = "abc";
    EXPECT_EQ(HashTab_hashMem(abc, 0, 0), 0u);  // nbuckets unused for len 0
    EXPECT_EQ(HashTab_hashMem(abc, UINT32_MAX, 3), 291u);
    EXPECT_EQ(HashTab_hashMem(abc, 211, 3), 80u);
    EXPECT_EQ(HashTab_hashMem(abc, 23, 3), 15u);
    const unsigned char ff[] = {0xFF};  // bytes are unsigned
    EXPECT_EQ(HashTab_hashMem(ff, UINT32_MAX, 1), 255u);
    unsigned char a[40], b[40];
    for (int i = 0; i < 40; ++i)
        a[i] = b[i] = static_cast<unsigned char>(i * 37);
    b[7] ^= 0x5A;  // more than 32 bytes before the end
    EXPECT_EQ(HashTab_hashMem(a, UINT32_MAX, 40), HashTab_hashMem(b, UINT32_MAX, 40));
    b[8] ^= 0x01;  // exactly 31 bytes before the last: lands in the top bit
    EXPECT_NE(HashTab_hashMem(a, UINT32_MAX, 40), HashTab_hashMem(b, UINT32_MAX, 40));
}

// Against a model holding, per key, the values of its entries oldest first.
TEST(HashTabModel, RandomOperations) {
    const uint32_t seed = 20261206;
    std::printf("HashTabModel seed %u\n", seed);
    std::mt19937 rng(seed);
    uint32_t keys[200];
    int values[50];
    for (uint32_t i = 0; i < 200; ++i)
        keys[i] = i;  // 79 buckets: chains of a few entries
    HashTab t;
    ASSERT_EQ(HashTab_init(&t, key_hash, key_equal, 37, 0), 1);
    std::unordered_map<uint32_t, std::vector<void *>> model;
    uint32_t model_count = 0;
    for (int step = 0; step < 20000; ++step) {
        uint32_t k = rng() % 200;
        auto &vals = model[k];
        void *newest = vals.empty() ? nullptr : vals.back();
        switch (rng() % 3) {
        case 0: {
            void *v = rng() % 8 == 0 ? nullptr : &values[rng() % 50];
            int expect = model_count < 37 && newest == nullptr;
            ASSERT_EQ(HashTab_store(&t, &keys[k], v), expect) << "step " << step;
            if (expect) {
                vals.push_back(v);
                ++model_count;
            }
            break;
        }
        case 1:
            HashTab_delete(&t, &keys[k]);
            if (!vals.empty()) {
                vals.pop_back();
                --model_count;
            }
            break;
        default:
            ASSERT_EQ(HashTab_lookup(&t, &keys[k]), newest) << "step " << step;
            continue;
        }
        ASSERT_EQ(t.count, model_count) << "step " << step;
        ASSERT_TRUE(consistent(t)) << "step " << step;
        ASSERT_EQ(HashTab_lookup(&t, &keys[k]), vals.empty() ? nullptr : vals.back()) << "step " << step;
    }
    HashTab_destroy(&t);
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
    t.freelist = nullptr;  // a pool corrupted behind the table's back
    EXPECT_KRC_ASSERT(HashTab_store(&t, &keys[1], nullptr), f, "HashTab_store", "bucket != NULL");
    t.freelist = &t.entries[1];
}

}  // namespace
