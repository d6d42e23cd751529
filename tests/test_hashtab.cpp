#include <libkrc/hashtab.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <unordered_map>
#include <vector>

#include "alloc_fault.h"
#include "death.h"

// A key is a position in `keys`, hashed to its index; both callbacks count their calls.
static char keys[200];
static int values[64], hash_calls, equal_calls;
static uint32_t key_hash(void *key, uint32_t) {
    return ++hash_calls, static_cast<uint32_t>(static_cast<char *>(key) - keys);
}
static int key_equal(void *probe, void *stored) { return ++equal_calls, probe == stored; }

struct HashTabTest : ::testing::Test {
    HashTab t{};
    void init(uint32_t capacity) {
        ASSERT_EQ(HashTab_init(&t, key_hash, key_equal, capacity, 0xC0FFEE), 1);
        hash_calls = equal_calls = 0;
    }
    void TearDown() override { HashTab_destroy(&t); }
    int store(uint32_t k, void *v) { return HashTab_store(&t, &keys[k], v); }
    void *lookup(uint32_t k) { return HashTab_lookup(&t, &keys[k]); }
};

// The bucket count is set before allocating: each row fails its first allocation and leaves
// a header without storage that destroy accepts.  Then every allocation fails in turn.
TEST(HashTabInit, BucketCountsAndAllocationFailure) {
    const uint32_t table[][2] = {{0, 1},     {1, 3},       {2, 5},       {3, 7}, {4, 11},
                                 {10, 23},   {100, 211},   {1000, 2003}, {HASHTAB_MAX_CAPACITY + 1, 0}};
    for (const auto &row : table) {
        HashTab t;
        std::memset(&t, 0xA5, sizeof t);
        krc_test::AllocScope fail_first(0);
        EXPECT_EQ(HashTab_init(&t, key_hash, key_equal, row[0], 42), 0);
        EXPECT_EQ(t.nbuckets, row[1]) << "capacity " << row[0];
        EXPECT_TRUE(t.entries == nullptr && t.freelist == nullptr && t.buckets == nullptr && t.capacity == row[0]);
        HashTab_destroy(&t);
    }
    EXPECT_EQ(2, krc_test::sweep_alloc_failures([](long) {
        HashTab t;
        HashTab_init(&t, key_hash, key_equal, 9, 42);
        HashTab_destroy(&t);
    }));
}

// With no pool or a full one every store is refused before any call.  Capacity 4: 11 buckets (keys
// 1, 12, 23 share bucket 1), entries taken from the pool's end down, chains newest first.  A store
// that succeeds costs two hash calls, all else one, plus an equality call per entry visited.
TEST_F(HashTabTest, ChainsPoolCallsAndDestroy) {
    krc_test::AllocScope scope;
    init(0);
    EXPECT_TRUE(store(1, &values[1]) == 0 && hash_calls + equal_calls == 0);
    HashTab_destroy(&t);
    init(4);
    EXPECT_TRUE(store(1, &values[1]) == 1 && hash_calls == 2 && equal_calls == 0);
    EXPECT_TRUE(store(12, &values[2]) == 1 && store(23, nullptr) == 1);
    EXPECT_TRUE(t.buckets[1] == &t.entries[1] && t.entries[1].next == &t.entries[2] &&
                t.entries[2].next == &t.entries[3] && t.entries[3].key == &keys[1]);
    hash_calls = equal_calls = 0;
    EXPECT_TRUE(store(1, &values[9]) == 0 && hash_calls == 1 && equal_calls == 3 && lookup(1) == &values[1]);
    EXPECT_TRUE(store(23, &values[3]) == 1 && lookup(23) == &values[3]);  // a null value looks absent
    hash_calls = equal_calls = 0;
    EXPECT_TRUE(store(5, &values[5]) == 0 && store(1, &values[9]) == 0 && hash_calls + equal_calls == 0);
    HashTab_delete(&t, &keys[12]);  // from the middle of the chain
    HashTab_delete(&t, &keys[23]);  // the newer of the two
    EXPECT_TRUE(t.freelist == &t.entries[0] && t.entries[0].next == &t.entries[2] && t.count == 2);
    EXPECT_TRUE(t.buckets[1] == &t.entries[1] && t.entries[1].next == &t.entries[3] && lookup(23) == nullptr);
    EXPECT_TRUE(store(5, &values[5]) == 1 && t.buckets[5] == &t.entries[0]);  // the entry freed last
    hash_calls = equal_calls = 0;
    HashTab_delete(&t, &keys[12]);  // absent
    EXPECT_TRUE(hash_calls == 1 && equal_calls == 2 && t.count == 3);
    HashTab_destroy(&t);
    HashTab_destroy(&t);
    EXPECT_TRUE(scope.allocations() == 3 && scope.frees() == 3);
    EXPECT_TRUE(t.hash == nullptr && t.equal == nullptr && t.count == 0 && t.capacity == 0 && t.nbuckets == 0 &&
                t.entries == nullptr && t.freelist == nullptr && t.buckets == nullptr && t.userdata == 0);
}

TEST(HashTabHashMem, Values) {
    EXPECT_EQ(HashTab_hashMem("abc", 0, 0), 0u);   // nbuckets unused for len 0
    EXPECT_EQ(HashTab_hashMem("abc", UINT32_MAX, 3), 291u);
    EXPECT_EQ(HashTab_hashMem("abc", 211, 3), 80u);
    EXPECT_EQ(HashTab_hashMem("\xFF", UINT32_MAX, 1), 255u);  // bytes are unsigned
}

TEST_F(HashTabTest, Assertions) {
    init(2);
    const char *f = "src/hashtab.cpp";
    EXPECT_KRC_ASSERT(HashTab_lookup(nullptr, &keys[1]), f, "HashTab_lookup", "p != NULL");
    EXPECT_KRC_ASSERT(HashTab_lookup(&t, nullptr), f, "HashTab_lookup", "key != NULL");
    EXPECT_KRC_ASSERT(HashTab_store(nullptr, &keys[1], nullptr), f, "HashTab_lookup", "p != NULL");
    EXPECT_KRC_ASSERT(HashTab_delete(nullptr, &keys[1]), f, "HashTab_delete", "p != NULL");
    EXPECT_KRC_ASSERT(HashTab_delete(&t, nullptr), f, "HashTab_delete", "key != NULL");
    EXPECT_KRC_ASSERT((t.freelist = nullptr, store(1, nullptr)), f, "HashTab_store", "bucket != NULL");
}

// Random stores (some of null values), deletes and look-ups against each key's values, oldest
// first; after every step each entry must be on its key's chain or on the free list.
TEST_F(HashTabTest, RandomisedAgainstModel) {
    std::printf("hash table model seed %u\n", 20261206u);
    std::mt19937 rng(20261206u);
    init(37);
    std::unordered_map<uint32_t, std::vector<void *>> model;
    uint32_t count = 0;
    for (int step = 0; step < 20000; ++step) {
        uint32_t k = rng() % 200, op = rng() % 3;
        std::vector<void *> &vals = model[k];
        if (op == 0) {
            void *v = rng() % 8 ? &values[rng() % 64] : nullptr;
            bool stored = count < 37 && (vals.empty() || vals.back() == nullptr);
            ASSERT_EQ(store(k, v), stored ? 1 : 0) << "step " << step;
            vals.insert(vals.end(), stored, v);
            count += stored;
        } else if (op == 1) {
            HashTab_delete(&t, &keys[k]);
            count -= !vals.empty();
            vals.resize(vals.empty() ? 0 : vals.size() - 1);
        }
        ASSERT_EQ(lookup(k), vals.empty() ? nullptr : vals.back()) << "step " << step;
        uint32_t on_chains = 0, on_free = 0;
        for (uint32_t b = 0; b < t.nbuckets; ++b)
            for (HashTabEntry *e = t.buckets[b]; e != nullptr; e = e->next, ++on_chains)
                ASSERT_EQ((static_cast<char *>(e->key) - keys) % t.nbuckets, b);
        for (HashTabEntry *e = t.freelist; e != nullptr; e = e->next)
            ++on_free;
        ASSERT_TRUE(t.count == count && on_chains == count && on_free == 37 - count) << "step " << step;
    }
}
