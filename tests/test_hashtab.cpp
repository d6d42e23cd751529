// SPDX-License-Identifier: MIT
#include <libkrc/hashtab.h>

#include <cstring>

#include "alloc_fault.h"
#include "death.h"

static uint32_t key_hash(void *key, uint32_t) { return *static_cast<char *>(key); }
static int key_equal(void *probe, void *stored) { return probe == stored; }

// The bucket count is set before allocating: each row fails its first allocation (none is tried
// for a capacity above the limit) and leaves a header without storage that destroy accepts.
// Capacity 12 needs the divisors restarted from 3 after 25: 27 = 3 * 9, so 29.
TEST(HashTab, BucketCountsLimitAndAllocationFailure) {
    const uint32_t max = HASHTAB_MAX_CAPACITY;
    const uint32_t table[][2] = {{0, 1},    {1, 3},      {2, 5},        {3, 7},       {4, 11},
                                 {10, 23},  {12, 29},    {100, 211},    {1000, 2003}, {max, 715827883},
                                 {max + 1, 0}};
    for (const auto &row : table) {
        HashTab t;
        std::memset(&t, 0xA5, sizeof t);
        krc_test::AllocScope fail_first(0);
        EXPECT_EQ(HashTab_init(&t, key_hash, key_equal, row[0], 42), 0);
        EXPECT_EQ(fail_first.allocations(), row[0] <= max) << "capacity " << row[0];
        EXPECT_EQ(t.nbuckets, row[1]) << "capacity " << row[0];
        EXPECT_EQ(t.capacity, row[0]);
        EXPECT_EQ(t.entries, nullptr);
        EXPECT_EQ(t.buckets, nullptr);
        EXPECT_EQ(t.freelist, nullptr);
        EXPECT_EQ(t.userdata, 0xA5A5A5A5u);  // written only on success
        HashTab_destroy(&t);
    }
    EXPECT_EQ(2, krc_test::sweep_alloc_failures([](long k) {
        HashTab t;
        EXPECT_EQ(HashTab_init(&t, key_hash, key_equal, 9, 42), k >= 2);
        HashTab_destroy(&t);
    }));
}

TEST(HashTab, HashMem) {
    EXPECT_EQ(HashTab_hashMem("abc", 0, 0), 0u);  // nbuckets unused for len 0
    EXPECT_EQ(HashTab_hashMem("abc", UINT32_MAX, 3), 291u);
    EXPECT_EQ(HashTab_hashMem("abc", 211, 3), 80u);
    EXPECT_EQ(HashTab_hashMem("\xFF", UINT32_MAX, 1), 255u);  // bytes are unsigned
    EXPECT_EQ(HashTab_hashMem("0123456789abcdefghijklmnopqrstuvwxyz", 23, 36),
              HashTab_hashMem("XXXX456789abcdefghijklmnopqrstuvwxyz", 23, 36));  // the last 32 bytes count
}

TEST(HashTabDeathTest, Preconditions) {
    HashTab t;
    char key[] = "k";
    ASSERT_EQ(HashTab_init(&t, key_hash, key_equal, 2, 0), 1);
    const char *f = "src/hashtab.cpp";
    EXPECT_KRC_ASSERT(HashTab_lookup(nullptr, key), f, "HashTab_lookup", "p != NULL");
    EXPECT_KRC_ASSERT(HashTab_lookup(&t, nullptr), f, "HashTab_lookup", "key != NULL");
    EXPECT_KRC_ASSERT(HashTab_store(nullptr, key, nullptr), f, "HashTab_lookup", "p != NULL");
    EXPECT_KRC_ASSERT(HashTab_delete(nullptr, key), f, "HashTab_delete", "p != NULL");
    EXPECT_KRC_ASSERT(HashTab_delete(&t, nullptr), f, "HashTab_delete", "key != NULL");
    EXPECT_KRC_ASSERT((t.freelist = nullptr, HashTab_store(&t, key, nullptr)), f, "HashTab_store", "bucket != NULL");
    HashTab_destroy(&t);
}
