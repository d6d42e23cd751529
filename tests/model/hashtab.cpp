// SPDX-License-Identifier: MIT
// Hash table harness: a table against each key's stored values, oldest first.
// Byte 0 picks the capacity; each later pair of bytes stores, looks up or
// deletes one of 48 keys, or (rarely) destroys the table for a new one.  Every
// key exists as two objects with one id, so the equality callback can insist
// on receiving the operation's own key first.  The callbacks count their
// calls in the record each key points to.
#include <libkrc/hashtab.h>

#include <cstring>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

constexpr uint32_t kKeys = 48;
struct Calls {
    const void *probe;  // the key the operation was given
    int hash, equal;
};
struct Key {
    uint32_t id;
    Calls *calls;
};

// Any value: the table must reduce it itself.
uint32_t raw_hash(const void *key) { return static_cast<const Key *>(key)->id * 2654435761u; }
uint32_t bucket_of(const HashTab &t, const void *key) { return raw_hash(key) % t.nbuckets; }
uint32_t hash(void *key, uint32_t) {
    ++static_cast<Key *>(key)->calls->hash;
    return raw_hash(key);
}
int equal(void *probe, void *stored) {
    Calls *calls = static_cast<Key *>(probe)->calls;
    MODEL_REQUIRE(probe == calls->probe);
    ++calls->equal;
    return static_cast<Key *>(probe)->id == static_cast<Key *>(stored)->id;
}

// The smallest prime not below 2 * capacity + 1 (1 for capacity 0).
uint32_t bucket_count(uint32_t capacity) {
    uint32_t n = 2 * capacity + 1;
    for (uint32_t d = 2; n > 3 && d * d <= n; ++d) {
        if (n % d == 0) {
            n += 2;
            d = 1;
        }
    }
    return n;
}

using Model = std::vector<std::vector<void *>>;  // per key id, the values stored, oldest first

// Each chain entry lies in its key's bucket, the chains hold each key's values newest first, and
// chains and free list hold every pool entry exactly once.
void walk(const HashTab &t, const Model &model, uint32_t count) {
    MODEL_REQUIRE(t.count == count);
    std::vector<bool> seen(t.capacity);
    auto visit = [&](const HashTabEntry *e) {
        MODEL_REQUIRE(e >= t.entries && e < t.entries + t.capacity);
        MODEL_REQUIRE(!seen[e - t.entries]);
        seen[e - t.entries] = true;
    };
    uint32_t met[kKeys] = {}, free_entries = 0;
    for (uint32_t b = 0; b < t.nbuckets; ++b)
        for (const HashTabEntry *e = t.buckets[b]; e != nullptr; e = e->next) {
            visit(e);
            const uint32_t id = static_cast<Key *>(e->key)->id;
            MODEL_REQUIRE(bucket_of(t, e->key) == b);
            MODEL_REQUIRE(met[id] < model[id].size() && e->value == model[id][model[id].size() - ++met[id]]);
        }
    for (uint32_t id = 0; id < kKeys; ++id)
        MODEL_REQUIRE(met[id] == model[id].size());
    for (const HashTabEntry *e = t.freelist; e != nullptr; e = e->next, ++free_entries)
        visit(e);
    MODEL_REQUIRE(free_entries == t.capacity - count);
}

// A new table: the smallest prime bucket count not below 2 * capacity + 1, the free list down the pool.
void init(HashTab &t, uint32_t capacity, uint32_t userdata) {
    std::memset(&t, 0xA5, sizeof t);  // every field must be set
    MODEL_REQUIRE(HashTab_init(&t, hash, equal, capacity, userdata) == 1);
    MODEL_REQUIRE(t.nbuckets == bucket_count(capacity));
    MODEL_REQUIRE(t.capacity == capacity);
    MODEL_REQUIRE(t.userdata == userdata);
    for (uint32_t i = capacity; i-- > 0;)
        MODEL_REQUIRE((i + 1 == capacity ? t.freelist : t.entries[i + 1].next) == &t.entries[i]);
}

}  // namespace

void run_hashtab(const uint8_t *data, size_t size) {
    Bytes in(data, size);
    Calls counted{};
    Key keys[2][kKeys];
    char values[16];
    for (uint32_t id = 0; id < kKeys; ++id)
        keys[0][id] = keys[1][id] = Key{id, &counted};
    HashTab t;
    uint32_t capacity = in.byte() % 40, count = 0;
    init(t, capacity, 0xC0FFEE);
    Model model(kKeys);
    while (in.more()) {
        const uint8_t op = in.byte(), arg = in.byte();
        Key *key = &keys[arg / 128][arg % kKeys];
        std::vector<void *> &vals = model[key->id];
        int visits = 0;  // chain entries the operation compares: up to the newest with this key
        HashTabEntry *hit = t.buckets[bucket_of(t, key)], *head = t.freelist;
        for (; hit != nullptr; hit = hit->next) {
            ++visits;
            if (static_cast<Key *>(hit->key)->id == key->id)
                break;
        }
        counted = Calls{key, 0, 0};
        if (op == 255) {  // destroy, which zeroes the header and may be repeated, then a new table
            HashTab_destroy(&t);
            HashTab_destroy(&t);
            MODEL_REQUIRE(!t.hash && !t.equal && !t.entries && !t.freelist && !t.buckets);
            MODEL_REQUIRE(t.count + t.capacity + t.nbuckets + t.userdata == 0);
            init(t, capacity = arg % 40, arg * 16777619u);
            model.assign(kKeys, {});
            count = 0;
        } else if (op % 16 < 6) {  // store; a key whose newest value is null looks absent
            void *value = op % 16 == 5 ? nullptr : &values[op / 16];
            const bool full = count == capacity, present = !vals.empty() && vals.back() != nullptr;
            MODEL_REQUIRE(HashTab_store(&t, key, value) == (!full && !present));
            MODEL_REQUIRE(counted.hash == (full ? 0 : present ? 1 : 2));
            MODEL_REQUIRE(counted.equal == (full ? 0 : visits));
            if (!full && !present) {
                vals.push_back(value);
                ++count;
                MODEL_REQUIRE(t.buckets[bucket_of(t, key)] == head);  // freed last, used first
            }
        } else if (op % 16 < 10) {
            MODEL_REQUIRE(HashTab_lookup(&t, key) == (vals.empty() ? nullptr : vals.back()));
            MODEL_REQUIRE(counted.hash == 1 && counted.equal == visits);
        } else {  // delete the newest value, its entry to be used next
            HashTab_delete(&t, key);
            MODEL_REQUIRE(counted.hash == 1 && counted.equal == visits);
            MODEL_REQUIRE(t.freelist == (vals.empty() ? head : hit));
            count -= !vals.empty();
            vals.resize(vals.empty() ? 0 : vals.size() - 1);
        }
        walk(t, model, count);
    }
    HashTab_destroy(&t);
}

}  // namespace krc_model
