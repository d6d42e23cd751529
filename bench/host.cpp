// SPDX-License-Identifier: MIT
// Host timings of libkrc against the containers a user would otherwise pick:
// GLib (GQueue, GHashTable, GList), Boost (pool, circular_buffer,
// crc_xmodem_t), std:: containers and inline code (a kernel-style intrusive
// list, a running sum).  Every row runs the same workload on the same data in
// each implementation; the answers are cross-checked before anything is
// timed.  Benchmarks are named ROW/IMPLEMENTATION, libkrc's as ROW/krc.
// Built twice, against the shared library and against the static one with
// LTO; bench/host-report.py turns the runs into the ratio table.
#include <libkrc/libkrc.h>

#include <boost/circular_buffer.hpp>
#include <boost/crc.hpp>
#include <boost/pool/pool.hpp>
#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

// ---- Shared data ------------------------------------------------------------

constexpr uint32_t kRing = 64;        // queue capacity, kept half full
constexpr uint32_t kWindow = 64;      // sliding average window, kept full
constexpr uint32_t kFifo = 8;         // intrusive FIFOs: elements kept linked
constexpr uint32_t kWalk = 1000;      // walked list length
constexpr uint32_t kCapacity = 1000;  // hash table capacity
constexpr uint32_t kKeys = 500;       // keys stored
constexpr uint32_t kCrcBytes = 1024;
constexpr uint32_t kBlock = 48;       // pool block size
constexpr uint32_t kBlocks = 1024;

int tokens[kRing];

std::vector<uint32_t> make_keys() {
    std::vector<uint32_t> keys(kKeys);
    for (uint32_t k = 0; k < kKeys; ++k)
        keys[k] = k * 2654435761u + 1;
    return keys;
}
const std::vector<uint32_t> keys = make_keys();

std::vector<uint8_t> make_bytes() {
    std::vector<uint8_t> b(kCrcBytes);
    for (uint32_t k = 0; k < kCrcBytes; ++k)
        b[k] = static_cast<uint8_t>(k * 37 + (k >> 5));
    return b;
}
const std::vector<uint8_t> bytes = make_bytes();

inline uint32_t wrap(uint32_t i, uint32_t n) { return i + 1 == n ? 0 : i + 1; }

// Each workload is written once per implementation as a function of the
// operation count that returns a checksum of what the operations returned;
// the cross-check compares the checksums, the benchmark times the function.
using Workload = std::function<uint64_t(uint64_t ops)>;
struct Impl {
    std::string row, name;
    Workload run;
};
std::vector<Impl> &impls() {
    static std::vector<Impl> all;
    return all;
}
struct Register {
    Register(const char *row, const char *name, Workload w) { impls().push_back({row, name, std::move(w)}); }
};

uintptr_t bits(const void *p) { return reinterpret_cast<uintptr_t>(p); }

// ---- Queue: add + take on a half-full ring of 64 --------------------------

Register q1("queue", "krc", [](uint64_t ops) {
    krqueue *q = krqueue_new(kRing);
    for (uint32_t k = 0; k < kRing / 2; ++k)
        krqueue_add(q, &tokens[k]);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        krqueue_add(q, &tokens[k % kRing]);
        void *e = krqueue_get(q);
        benchmark::DoNotOptimize(e);
        sum += bits(e);
    }
    krqueue_free(q, nullptr);
    return sum;
});
Register q2("queue", "boost::circular_buffer", [](uint64_t ops) {
    boost::circular_buffer<void *> q(kRing);
    for (uint32_t k = 0; k < kRing / 2; ++k)
        q.push_back(&tokens[k]);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        if (!q.full())
            q.push_back(&tokens[k % kRing]);
        void *e = q.front();
        q.pop_front();
        benchmark::DoNotOptimize(e);
        sum += bits(e);
    }
    return sum;
});
Register q3("queue", "GQueue", [](uint64_t ops) {
    GQueue *q = g_queue_new();
    for (uint32_t k = 0; k < kRing / 2; ++k)
        g_queue_push_tail(q, &tokens[k]);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        if (q->length < kRing)
            g_queue_push_tail(q, &tokens[k % kRing]);
        void *e = g_queue_pop_head(q);
        benchmark::DoNotOptimize(e);
        sum += bits(e);
    }
    g_queue_free(q);
    return sum;
});
Register q4("queue", "std::deque", [](uint64_t ops) {
    std::deque<void *> q;
    for (uint32_t k = 0; k < kRing / 2; ++k)
        q.push_back(&tokens[k]);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        if (q.size() < kRing)
            q.push_back(&tokens[k % kRing]);
        void *e = q.front();
        q.pop_front();
        benchmark::DoNotOptimize(e);
        sum += bits(e);
    }
    return sum;
});

// ---- Pool: one block taken and given back ---------------------------------
// The checksum is the number of non-null blocks: addresses differ by design.

Register p1("pool", "krc", [](uint64_t ops) {
    mempool *pool = mempool_create(kBlocks, kBlock);
    uint64_t got = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        void *b = mempool_alloc(pool);
        benchmark::DoNotOptimize(b);
        got += b != nullptr;
        mempool_free(pool, b);
    }
    mempool_destroy(pool);
    return got;
});
Register p2("pool", "boost::pool", [](uint64_t ops) {
    boost::pool<> pool(kBlock, kBlocks);
    uint64_t got = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        void *b = pool.malloc();
        benchmark::DoNotOptimize(b);
        got += b != nullptr;
        pool.free(b);
    }
    return got;
});
Register p3("pool", "malloc", [](uint64_t ops) {
    uint64_t got = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        void *b = malloc(kBlock);
        benchmark::DoNotOptimize(b);
        got += b != nullptr;
        free(b);
    }
    return got;
});

// ---- Sliding average: add + mean, window 64 --------------------------------

uint64_t mean_sum(double m) { return static_cast<uint64_t>(m * 64.0); }

Register a1("average", "krc", [](uint64_t ops) {
    SlidingAverage *avg = SlidingAverage_create(kWindow);
    for (uint32_t k = 0; k < kWindow; ++k)
        SlidingAverage_Add(avg, k * 7);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        SlidingAverage_Add(avg, static_cast<uint32_t>(k * 13));
        double m = SlidingAverage_GetAverage(avg);
        benchmark::DoNotOptimize(m);
        sum += mean_sum(m);
    }
    SlidingAverage_destroy(avg);
    return sum;
});
Register a2("average", "inline running sum", [](uint64_t ops) {
    uint32_t log[kWindow] = {};
    uint64_t total = 0;
    uint32_t next = 0, n = 0;
    auto add = [&](uint32_t s) {
        if (n == kWindow)
            total = total + s - log[next];
        else
            total += s, ++n;
        log[next] = s;
        next = wrap(next, kWindow);
    };
    for (uint32_t k = 0; k < kWindow; ++k)
        add(k * 7);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        add(static_cast<uint32_t>(k * 13));
        double m = static_cast<double>(total) / n;
        benchmark::DoNotOptimize(m);
        sum += mean_sum(m);
    }
    return sum;
});
Register a3("average", "boost::circular_buffer + sum", [](uint64_t ops) {
    boost::circular_buffer<uint32_t> log(kWindow);
    uint64_t total = 0;
    auto add = [&](uint32_t s) {
        if (log.full())
            total -= log.front();
        log.push_back(s);
        total += s;
    };
    for (uint32_t k = 0; k < kWindow; ++k)
        add(k * 7);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        add(static_cast<uint32_t>(k * 13));
        double m = static_cast<double>(total) / log.size();
        benchmark::DoNotOptimize(m);
        sum += mean_sum(m);
    }
    return sum;
});

// ---- Intrusive FIFOs: take the first element, append it again ------------

struct Record {
    uint32_t value;
    Record *next;
    Record *prev;
};
Record records[kFifo];
void number_records() {
    for (uint32_t k = 0; k < kFifo; ++k)
        records[k] = Record{k + 1, nullptr, nullptr};
}

Register s1("slist-fifo", "krc", [](uint64_t ops) {
    number_records();
    List list;
    List_makeList(&list, &records[0], &records[0].next, nullptr);
    for (auto &r : records)
        List_insertLast(&list, &r);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        auto *e = static_cast<Record *>(List_removeFirst(&list));
        benchmark::DoNotOptimize(e);
        sum += e->value;
        List_insertLast(&list, e);
    }
    return sum;
});
// A tail queue as the kernel's and the BSDs' macros lay it out: the last
// link is kept as a pointer to the null link at the end.
Register s2("slist-fifo", "inline kernel-style list", [](uint64_t ops) {
    number_records();
    Record *first = nullptr, **tail = &first;
    for (auto &r : records)
        *tail = &r, tail = &r.next;
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        Record *e = first;
        first = e->next;
        if (first == nullptr)
            tail = &first;
        benchmark::DoNotOptimize(e);
        sum += e->value;
        e->next = nullptr;
        *tail = e;
        tail = &e->next;
    }
    return sum;
});
Register s3("slist-fifo", "GQueue", [](uint64_t ops) {
    number_records();
    GQueue q = G_QUEUE_INIT;
    for (auto &r : records)
        g_queue_push_tail(&q, &r);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        auto *e = static_cast<Record *>(g_queue_pop_head(&q));
        benchmark::DoNotOptimize(e);
        sum += e->value;
        g_queue_push_tail(&q, e);
    }
    g_queue_clear(&q);
    return sum;
});

Register d1("dlist-fifo", "krc", [](uint64_t ops) {
    number_records();
    DList list;
    DList_makeDList(&list, &records[0], &records[0].next, &records[0].prev, nullptr);
    for (auto &r : records)
        DList_insertLast(&list, &r);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        auto *e = static_cast<Record *>(DList_removeFirst(&list));
        benchmark::DoNotOptimize(e);
        sum += e->value;
        DList_insertLast(&list, e);
    }
    return sum;
});
// The kernel's list_head: a circular list through a sentinel head.
struct ListHead {
    ListHead *next, *prev;
};
struct KRecord {
    uint32_t value;
    ListHead link;
};
KRecord krecords[kFifo];
inline void klist_add_tail(ListHead *n, ListHead *head) {
    ListHead *prev = head->prev;
    n->next = head;
    n->prev = prev;
    prev->next = n;
    head->prev = n;
}
inline void klist_del(ListHead *n) {
    n->next->prev = n->prev;
    n->prev->next = n->next;
}
Register d2("dlist-fifo", "inline kernel-style list", [](uint64_t ops) {
    ListHead head{&head, &head};
    for (uint32_t k = 0; k < kFifo; ++k) {
        krecords[k].value = k + 1;
        klist_add_tail(&krecords[k].link, &head);
    }
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        ListHead *n = head.next;
        klist_del(n);
        KRecord *e = reinterpret_cast<KRecord *>(reinterpret_cast<char *>(n) - offsetof(KRecord, link));
        benchmark::DoNotOptimize(e);
        sum += e->value;
        klist_add_tail(n, &head);
    }
    return sum;
});
Register d3("dlist-fifo", "std::list", [](uint64_t ops) {
    number_records();
    std::list<Record *> q;
    for (auto &r : records)
        q.push_back(&r);
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        Record *e = q.front();
        q.pop_front();
        benchmark::DoNotOptimize(e);
        sum += e->value;
        q.push_back(e);
    }
    return sum;
});

// ---- Walk: one step of a full walk over 1000 data pointers ---------------

template <typename WalkOnce>
uint64_t walk(uint64_t ops, WalkOnce once) {
    uint64_t sum = 0;
    for (uint64_t done = 0; done < ops; done += kWalk)
        sum += once();
    return sum;
}
void *item(uint32_t k) { return reinterpret_cast<void *>(static_cast<uintptr_t>(k + 1)); }

Register w1("walk", "krc", [](uint64_t ops) {
    list_t *lst = list_new(nullptr, nullptr);
    for (uint32_t k = 0; k < kWalk; ++k)
        list_add(lst, item(k));
    uint64_t sum = walk(ops, [&] {
        uintptr_t s = 0;
        for (list_iter_t it = list_first(lst); !list_end(it); it = list_next(it)) {
            s += bits(list_get(it));
            benchmark::DoNotOptimize(s);
        }
        return s;
    });
    list_free(lst, nullptr);
    return sum;
});
Register w2("walk", "GList", [](uint64_t ops) {
    GQueue q = G_QUEUE_INIT;
    for (uint32_t k = 0; k < kWalk; ++k)
        g_queue_push_tail(&q, item(k));
    uint64_t sum = walk(ops, [&] {
        uintptr_t s = 0;
        for (GList *l = q.head; l != nullptr; l = l->next) {
            s += bits(l->data);
            benchmark::DoNotOptimize(s);
        }
        return s;
    });
    g_queue_clear(&q);
    return sum;
});
Register w3("walk", "std::list", [](uint64_t ops) {
    std::list<void *> lst;
    for (uint32_t k = 0; k < kWalk; ++k)
        lst.push_back(item(k));
    return walk(ops, [&] {
        uintptr_t s = 0;
        for (void *p : lst) {
            s += bits(p);
            benchmark::DoNotOptimize(s);
        }
        return s;
    });
});
Register w4("walk", "inline kernel-style list", [](uint64_t ops) {
    struct Node {
        ListHead link;
        void *data;
    };
    std::vector<Node> nodes(kWalk);
    ListHead head{&head, &head};
    for (uint32_t k = 0; k < kWalk; ++k) {
        nodes[k].data = item(k);
        klist_add_tail(&nodes[k].link, &head);
    }
    return walk(ops, [&] {
        uintptr_t s = 0;
        for (ListHead *n = head.next; n != &head; n = n->next) {
            s += bits(reinterpret_cast<Node *>(n)->data);
            benchmark::DoNotOptimize(s);
        }
        return s;
    });
});

// ---- Hash table: look-up hit, and delete + store, 500 keys of 1000 --------

uint32_t krc_hash(void *key, uint32_t) { return *static_cast<const uint32_t *>(key); }
int krc_equal(void *a, void *b) { return *static_cast<const uint32_t *>(a) == *static_cast<const uint32_t *>(b); }
guint g_hash(gconstpointer key) { return *static_cast<const uint32_t *>(key); }
gboolean g_equal(gconstpointer a, gconstpointer b) {
    return *static_cast<const uint32_t *>(a) == *static_cast<const uint32_t *>(b);
}
void *value_of(uint32_t k) { return const_cast<uint32_t *>(&keys[k]); }

struct KrcTable {
    HashTab t;
    KrcTable() {
        HashTab_init(&t, krc_hash, krc_equal, kCapacity, 0);
        for (uint32_t k = 0; k < kKeys; ++k)
            HashTab_store(&t, &keys[k], value_of(k));
    }
    ~KrcTable() { HashTab_destroy(&t); }
};
struct GTable {
    GHashTable *t = g_hash_table_new(g_hash, g_equal);
    GTable() {
        for (uint32_t k = 0; k < kKeys; ++k)
            g_hash_table_insert(t, value_of(k), value_of(k));
    }
    ~GTable() { g_hash_table_destroy(t); }
};
struct StdTable {
    std::unordered_map<uint32_t, void *> t;
    StdTable() {
        t.reserve(kCapacity);
        for (uint32_t k = 0; k < kKeys; ++k)
            t.emplace(keys[k], value_of(k));
    }
};

template <typename Op>
uint64_t cycle_keys(uint64_t ops, Op op) {
    uint64_t sum = 0;
    for (uint64_t k = 0, i = 0; k < ops; ++k, i = wrap(static_cast<uint32_t>(i), kKeys))
        sum += op(static_cast<uint32_t>(i));
    return sum;
}

Register h1("hash-lookup", "krc", [](uint64_t ops) {
    KrcTable t;
    return cycle_keys(ops, [&](uint32_t i) {
        void *v = HashTab_lookup(&t.t, &keys[i]);
        benchmark::DoNotOptimize(v);
        return bits(v);
    });
});
Register h2("hash-lookup", "GHashTable", [](uint64_t ops) {
    GTable t;
    return cycle_keys(ops, [&](uint32_t i) {
        void *v = g_hash_table_lookup(t.t, &keys[i]);
        benchmark::DoNotOptimize(v);
        return bits(v);
    });
});
Register h3("hash-lookup", "std::unordered_map", [](uint64_t ops) {
    StdTable t;
    return cycle_keys(ops, [&](uint32_t i) {
        void *v = t.t.find(keys[i])->second;
        benchmark::DoNotOptimize(v);
        return bits(v);
    });
});
Register c1("hash-delete-store", "krc", [](uint64_t ops) {
    KrcTable t;
    return cycle_keys(ops, [&](uint32_t i) {
        HashTab_delete(&t.t, &keys[i]);
        return static_cast<uint64_t>(HashTab_store(&t.t, &keys[i], value_of(i)));
    });
});
Register c2("hash-delete-store", "GHashTable", [](uint64_t ops) {
    GTable t;
    return cycle_keys(ops, [&](uint32_t i) {
        g_hash_table_remove(t.t, &keys[i]);
        return static_cast<uint64_t>(g_hash_table_insert(t.t, value_of(i), value_of(i)));
    });
});
Register c3("hash-delete-store", "std::unordered_map", [](uint64_t ops) {
    StdTable t;
    return cycle_keys(ops, [&](uint32_t i) {
        t.t.erase(keys[i]);
        return static_cast<uint64_t>(t.t.emplace(keys[i], value_of(i)).second);
    });
});

// ---- CRC-16/XMODEM over 1 KiB ------------------------------------------------

Register r1("crc16", "krc", [](uint64_t ops) {
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        uint16_t crc;
        krclib_crc16Calc(bytes.data(), &crc, kCrcBytes);
        benchmark::DoNotOptimize(crc);
        sum += crc;
    }
    return sum;
});
Register r2("crc16", "boost::crc_xmodem_t", [](uint64_t ops) {
    uint64_t sum = 0;
    for (uint64_t k = 0; k < ops; ++k) {
        boost::crc_xmodem_t crc;
        crc.process_bytes(bytes.data(), kCrcBytes);
        uint16_t v = crc.checksum();
        benchmark::DoNotOptimize(v);
        sum += v;
    }
    return sum;
});

// ---- Cross-check, then time --------------------------------------------------

// Every implementation of a row must give the checksum of the first one on
// the same number of operations (a multiple of every period used above).
constexpr uint64_t kOps = 256000;
static_assert(kOps % kRing == 0 && kOps % kWalk == 0 && kOps % kKeys == 0 && kOps % kFifo == 0, "whole periods");

bool cross_check() {
    constexpr uint64_t ops = kOps;
    bool ok = true;
    const Impl *ref = nullptr;
    uint64_t want = 0;
    for (const Impl &impl : impls()) {
        uint64_t got = impl.run(ops);
        if (ref == nullptr || ref->row != impl.row) {
            ref = &impl;
            want = got;
        } else if (got != want) {
            std::fprintf(stderr, "cross-check failed: %s/%s gives %llu, %s gives %llu\n", impl.row.c_str(),
                         impl.name.c_str(), static_cast<unsigned long long>(got), ref->name.c_str(),
                         static_cast<unsigned long long>(want));
            ok = false;
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (!cross_check())
        return 1;
    for (const Impl &impl : impls()) {
        // Each timed batch is one call of the workload: its set-up (at most
        // 1000 insertions) is spread over kOps operations.
        benchmark::RegisterBenchmark((impl.row + "/" + impl.name).c_str(), [&impl](benchmark::State &state) {
            while (state.KeepRunningBatch(static_cast<benchmark::IterationCount>(kOps)))
                benchmark::DoNotOptimize(impl.run(kOps));
        });
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
