/* SPDX-License-Identifier: MIT */
// Model-checking harnesses: one per container family.
//
// A harness decodes a sequence of valid operations from a byte stream,
// applies each one to the library and to a plain std:: model side by side,
// compares the results after every step and walks the container's invariants
// after every mutation.  The same function runs under GoogleTest (seeded
// random bytes, bounded length) and as a libFuzzer target (tests/fuzz/), so
// it reports a mismatch by printing it and aborting, never through gtest.
#ifndef LIBKRC_TESTS_MODEL_H
#define LIBKRC_TESTS_MODEL_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace krc_model {

// Reads the operation stream.  Once the bytes run out every read returns 0,
// so a harness loops `while (in.more())` and never reads past the end.
class Bytes {
public:
    Bytes(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}
    bool more() const { return p_ != end_; }
    uint8_t byte() { return more() ? *p_++ : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | byte();
        return v;
    }
    // A value in [0, n); n must be positive.
    uint32_t below(uint32_t n) { return (n <= 256 ? byte() : u32()) % n; }

private:
    const uint8_t *p_;
    const uint8_t *end_;
};

// A record of the intrusive-list harnesses: two link fields around a key.
// The element pointer is the record's start or its key (a negative link
// distance), fixed per run.
struct Rec {
    void *f0;
    int32_t key;
    void *f1;
    long *calls;  // the run's count of compare calls
};

// The record of an element pointer At bytes into it.
template <size_t At>
Rec *rec_at(void *e) {
    return reinterpret_cast<Rec *>(static_cast<char *>(e) - At);
}

// Orders two elements by key, counting the call; compare_keys<0> for
// element pointers at the record's start, compare_keys<offsetof(Rec, key)>
// for pointers at the key.
template <size_t At>
int32_t compare_keys(void *a, void *b) {
    ++*rec_at<At>(a)->calls;
    return rec_at<At>(a)->key - rec_at<At>(b)->key;
}

// N heap records and the per-run layout, for the intrusive-list harnesses.
template <size_t N>
class RecordPool {
public:
    explicit RecordPool(bool at_key)
        : elem_at_(at_key ? offsetof(Rec, key) : 0), compare_(at_key ? compare_keys<offsetof(Rec, key)> : compare_keys<0>) {
        for (Rec *&r : pool_)
            r = fresh();
    }
    ~RecordPool() {
        for (Rec *r : pool_)
            std::free(r);
    }
    RecordPool(const RecordPool &) = delete;
    RecordPool &operator=(const RecordPool &) = delete;

protected:
    // A zeroed record counting into this run's calls.
    Rec *fresh() {
        auto *r = static_cast<Rec *>(std::calloc(1, sizeof(Rec)));
        if (r == nullptr)
            std::abort();
        r->calls = &calls_;
        return r;
    }
    Rec *rec(void *e) const { return reinterpret_cast<Rec *>(static_cast<char *>(e) - elem_at_); }
    void *elem(Rec *r) const { return reinterpret_cast<char *>(r) + elem_at_; }

    const size_t elem_at_;  // offset of the element pointer in a record
    int32_t (*const compare_)(void *, void *);
    long calls_ = 0;  // compare calls of the step in progress
    Rec *pool_[N];
};

// Prints where the model and the library disagreed and aborts.
[[noreturn]] void fail(const char *file, int line, const char *what);

// Deterministic pseudo-random bytes for the seeded unit-test runs.
std::vector<uint8_t> random_bytes(uint32_t seed, size_t size);

// The harnesses, one per container family (tests/model/<family>.cpp).
void run_llist(const uint8_t *data, size_t size);
void run_slist(const uint8_t *data, size_t size);
void run_dlist(const uint8_t *data, size_t size);
void run_krqueue(const uint8_t *data, size_t size);
void run_hashtab(const uint8_t *data, size_t size);
void run_mempool(const uint8_t *data, size_t size);
void run_slidingaverage(const uint8_t *data, size_t size);

}  // namespace krc_model

// Checks a model fact; on failure reports the expression and aborts.
#define MODEL_REQUIRE(cond) ((cond) ? static_cast<void>(0) : ::krc_model::fail(__FILE__, __LINE__, #cond))

#endif
