// SPDX-License-Identifier: MIT
// The C++ wrappers (krc.hpp) against the raw C calls they wrap: each
// workload comes in two forms doing the same work, one through the C API the
// way a C program writes it (free callback functions, void * contexts) and
// one through the wrapper.  A wrapper costing more than 2 % over the C call
// is a defect.
//
// A callable is used in place (krc_detail.hpp), so a lambda that captures
// its state by reference reaches it through one more load per call than a C
// callback given that state directly: the *_capture workloads show that
// price, the others pass the state itself, as the C side does.
//
// Built with Google Benchmark for the host.  Built with -DKRC_HPP_COUNT it is
// instead a plain program for counting armhf instructions under qemu-arm:
//   krc_hpp_count WORKLOAD N   sets the workload up, runs its operation N
//                              times and tears it down (no argument: the list)
// so (instructions for 2N - instructions for N) / N is the cost of one
// operation in the steady state, set-up excluded (the first calls cost more;
// LD_BIND_NOW keeps symbol binding out of the loop):
//   arm-linux-gnueabihf-g++ -std=c++17 -O2 -DKRC_HPP_COUNT [-fno-exceptions -fno-rtti]
//       -Iinclude bench/krc_hpp.cpp -Lbuild/armhf -llibkrc -o krc_hpp_count
//   qemu-arm -L /usr/arm-linux-gnueabihf -E LD_LIBRARY_PATH=build/armhf -E LD_BIND_NOW=1
//       -singlestep -d exec,nochain -D LOG krc_hpp_count C/queue_push_pop 1000   # one Trace line
//   grep -c Trace LOG                                                              # per instruction
#include <libkrc/krc.hpp>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef KRC_HPP_COUNT
template <class T>
inline void keep(const T &value) {
    asm volatile("" : : "r,m"(value) : "memory");
}
#else
#include <benchmark/benchmark.h>
template <class T>
inline void keep(const T &value) {
    benchmark::DoNotOptimize(value);
}
#endif

namespace {

constexpr int kItems = 100;
int items[kItems];

// ---- C side: callbacks as a C program writes them -------------------------

unsigned sum_visit(void *ctx, void *data) {
    *static_cast<long *>(ctx) += *static_cast<int *>(data);
    return 1;
}
int is_key(void *key, void *data) { return *static_cast<int *>(data) == *static_cast<int *>(key) ? 0 : 1; }
int int_order(void *a, void *b) { return *static_cast<int *>(a) > *static_cast<int *>(b) ? 1 : 0; }
uint32_t int_hash(void *key, uint32_t) { return static_cast<uint32_t>(*static_cast<int *>(key)); }
int int_equal(void *a, void *b) { return *static_cast<int *>(a) == *static_cast<int *>(b); }

struct Rec {
    int v;
    Rec *link;
    Rec *next;
    Rec *prev;
};
Rec recs[2];

// ---- C++ side --------------------------------------------------------------

struct int_less {
    bool operator()(const int *a, const int *b) const { return *a < *b; }
};
struct int_identity_hash {
    uint32_t operator()(const int &k) const { return static_cast<uint32_t>(k); }
};

// ---- Workloads: set-up in the constructor, one operation in op() ------------

struct list_fill {
    void fill(list_t *l) {
        for (int &i : items)
            list_add(l, &i);
    }
};

struct C_list_push_pop {
    list_t *l = list_new(nullptr, nullptr);
    void op() {
        list_add(l, &items[0]);
        list_remove_node(l, list_first(l).node);
    }
    ~C_list_push_pop() { list_free(l, nullptr); }
};
struct Cpp_list_push_pop {
    krc::list<int> l;
    void op() {
        l.push_back(&items[0]);
        l.erase(l.begin());
    }
};

struct C_list_foreach : list_fill {
    list_t *l = list_new(nullptr, nullptr);
    C_list_foreach() { fill(l); }
    void op() {
        long sum = 0;
        list_foreach(l, &sum, sum_visit);
        keep(sum);
    }
    ~C_list_foreach() { list_free(l, nullptr); }
};
struct Cpp_list_foreach : list_fill {
    krc::list<int> l;
    Cpp_list_foreach() { fill(l.get()); }
    void op() {
        struct {
            long sum = 0;
            void operator()(const int *x) { sum += *x; }
        } total;
        l.for_each(total);
        keep(total.sum);
    }
};
struct Cpp_list_foreach_capture : list_fill {
    krc::list<int> l;
    Cpp_list_foreach_capture() { fill(l.get()); }
    void op() {
        long sum = 0;
        l.for_each([&](int *x) { sum += *x; });
        keep(sum);
    }
};

struct C_list_iterate : list_fill {
    list_t *l = list_new(nullptr, nullptr);
    C_list_iterate() { fill(l); }
    void op() {
        long sum = 0;
        for (list_iter_t i = list_first(l); !list_end(i); i = list_next(i))
            sum += *static_cast<int *>(list_get(i));
        keep(sum);
    }
    ~C_list_iterate() { list_free(l, nullptr); }
};
struct Cpp_list_iterate : list_fill {
    krc::list<int> l;
    Cpp_list_iterate() { fill(l.get()); }
    void op() {
        long sum = 0;
        for (int *x : l)
            sum += *x;
        keep(sum);
    }
};

struct C_list_find : list_fill {
    list_t *l = list_new(nullptr, nullptr);
    C_list_find() { fill(l); }
    void op() {
        int key = kItems - 1;
        keep(list_find(l, &key, is_key));
    }
    ~C_list_find() { list_free(l, nullptr); }
};
struct Cpp_list_find : list_fill {
    krc::list<int> l;
    Cpp_list_find() { fill(l.get()); }
    void op() {
        int key = kItems - 1;
        keep(l.find_if([key](int *x) { return *x == key; }).node());
    }
};
struct Cpp_list_find_capture : list_fill {
    krc::list<int> l;
    Cpp_list_find_capture() { fill(l.get()); }
    void op() {
        int key = kItems - 1;
        keep(l.find_if([&](int *x) { return *x == key; }).node());
    }
};

struct C_list_sort : list_fill {
    list_t *l = list_new(nullptr, nullptr);
    C_list_sort() { fill(l); }
    void op() { list_sort(l, int_order); }
    ~C_list_sort() { list_free(l, nullptr); }
};
struct Cpp_list_sort : list_fill {
    krc::list<int> l;
    Cpp_list_sort() { fill(l.get()); }
    void op() { l.sort<int_less>(); }
};

struct C_slist {
    List h;
    C_slist() { List_makeList(&h, &recs[0], &recs[0].link, nullptr); }
    void op() {
        List_insertLast(&h, &recs[0]);
        keep(List_removeFirst(&h));
    }
};
struct Cpp_slist {
    krc::slist<Rec, &Rec::link> h;
    void op() {
        h.push_back(&recs[0]);
        keep(h.pop_front());
    }
};

struct C_dlist {
    DList h;
    C_dlist() {
        DList_makeDList(&h, &recs[0], &recs[0].next, &recs[0].prev, nullptr);
        DList_insertLast(&h, &recs[1]);
    }
    void op() {
        DList_insertFirst(&h, &recs[0]);
        keep(DList_remove(&h, &recs[0]));
    }
};
struct Cpp_dlist {
    krc::dlist<Rec, &Rec::next, &Rec::prev> h;
    Cpp_dlist() { h.push_back(&recs[1]); }
    void op() {
        h.push_front(&recs[0]);
        keep(h.erase(&recs[0]));
    }
};

struct C_queue {
    krqueue *q = krqueue_new(16);
    void op() {
        krqueue_add(q, &items[0]);
        keep(krqueue_get(q));
    }
    ~C_queue() { krqueue_free(q, nullptr); }
};
struct Cpp_queue {
    krc::queue<int> q{16};
    void op() {
        q.push(&items[0]);
        keep(q.pop());
    }
};

struct C_inplace_queue {
    alignas(void *) unsigned char buf[sizeof(krqueue) + 16 * sizeof(void *)];
    krqueue *q = krqueue_inplace_new(buf, sizeof buf, 16);
    void op() {
        krqueue_add(q, &items[0]);
        keep(krqueue_get(q));
    }
};
struct Cpp_inplace_queue {
    krc::inplace_queue<int, 16> q;
    void op() {
        q.push(&items[0]);
        keep(q.pop());
    }
};

struct C_hash {
    HashTab h;
    int key = 42;
    C_hash() { HashTab_init(&h, int_hash, int_equal, 64, 0); }
    void op() {
        HashTab_store(&h, &key, &items[0]);
        keep(HashTab_lookup(&h, &key));
        HashTab_delete(&h, &key);
    }
    ~C_hash() { HashTab_destroy(&h); }
};
struct Cpp_hash {
    krc::hash_map<int, int, int_identity_hash> h{64};
    int key = 42;
    void op() {
        h.insert(&key, &items[0]);
        keep(h.find(key));
        h.erase(key);
    }
};

struct C_pool {
    mempool *p = mempool_create(16, sizeof(Rec));
    void op() {
        void *b = mempool_alloc(p);
        keep(b);
        mempool_free(p, b);
    }
    ~C_pool() { mempool_destroy(p); }
};
struct Cpp_pool {
    krc::pool<Rec> p{16};
    void op() {
        Rec *b = p.allocate();
        keep(b);
        p.deallocate(b);
    }
};

struct C_average {
    SlidingAverage *a = SlidingAverage_create(16);
    uint32_t x = 0;
    void op() {
        SlidingAverage_Add(a, ++x);
        keep(SlidingAverage_GetAverage(a));
    }
    ~C_average() { SlidingAverage_destroy(a); }
};
struct Cpp_average {
    krc::sliding_average a{16};
    uint32_t x = 0;
    void op() {
        a.add(++x);
        keep(a.average());
    }
};

std::array<uint8_t, 64> frame{1, 2, 3, 4, 5, 6, 7, 8};

struct C_crc {
    void op() {
        uint16_t crc;
        krclib_crc16Calc(frame.data(), &crc, static_cast<uint32_t>(frame.size()));
        keep(crc);
    }
};
struct Cpp_crc {
    void op() { keep(krc::crc16(frame)); }
};

const uint_uint_map_entry codes[] = {{1, 10}, {2, 20}, {3, 30}, {4, 40}, {0xFFFF, 0}};

struct C_search {
    uint32_t key = 4;
    void op() {
        uint32_t v = krclib_search_uint_uint_map(codes, key);
        keep(v != 0xFFFF ? v : 0u);
    }
};
struct Cpp_search {
    uint32_t key = 4;
    void op() { keep(krc::search(codes, key).value_or(0u)); }
};

template <class W>
void run(long n) {
    W w;
    for (long i = 0; i < n; ++i)
        w.op();
}

#ifndef KRC_HPP_COUNT
template <class W>
void bench(benchmark::State &state) {
    W w;
    for (auto _ : state)
        w.op();
}
#endif

struct workload {
    const char *name;
    void (*count)(long n);
#ifndef KRC_HPP_COUNT
    void (*measure)(benchmark::State &);
#endif
};

template <class W>
constexpr workload entry(const char *name) {
#ifdef KRC_HPP_COUNT
    return {name, run<W>};
#else
    return {name, run<W>, bench<W>};
#endif
}

// Each C form directly followed by its wrapper form.
const workload workloads[] = {
    entry<C_list_push_pop>("C/list_push_pop"),     entry<Cpp_list_push_pop>("Cpp/list_push_pop"),
    entry<C_list_foreach>("C/list_foreach"),       entry<Cpp_list_foreach>("Cpp/list_foreach"),
    entry<C_list_foreach>("C/list_foreach_capture"), entry<Cpp_list_foreach_capture>("Cpp/list_foreach_capture"),
    entry<C_list_iterate>("C/list_iterate"),       entry<Cpp_list_iterate>("Cpp/list_iterate"),
    entry<C_list_find>("C/list_find"),             entry<Cpp_list_find>("Cpp/list_find"),
    entry<C_list_find>("C/list_find_capture"),     entry<Cpp_list_find_capture>("Cpp/list_find_capture"),
    entry<C_list_sort>("C/list_sort"),             entry<Cpp_list_sort>("Cpp/list_sort"),
    entry<C_slist>("C/slist_push_pop"),            entry<Cpp_slist>("Cpp/slist_push_pop"),
    entry<C_dlist>("C/dlist_push_erase"),          entry<Cpp_dlist>("Cpp/dlist_push_erase"),
    entry<C_queue>("C/queue_push_pop"),            entry<Cpp_queue>("Cpp/queue_push_pop"),
    entry<C_inplace_queue>("C/inplace_queue"),     entry<Cpp_inplace_queue>("Cpp/inplace_queue"),
    entry<C_hash>("C/hash_insert_find_erase"),     entry<Cpp_hash>("Cpp/hash_insert_find_erase"),
    entry<C_pool>("C/pool_alloc_free"),            entry<Cpp_pool>("Cpp/pool_alloc_free"),
    entry<C_average>("C/average_add_mean"),        entry<Cpp_average>("Cpp/average_add_mean"),
    entry<C_crc>("C/crc16_64_bytes"),              entry<Cpp_crc>("Cpp/crc16_64_bytes"),
    entry<C_search>("C/search_hit"),               entry<Cpp_search>("Cpp/search_hit"),
};

}  // namespace

int main(int argc, char **argv) {
    for (int i = 0; i < kItems; ++i)
        items[i] = i;
#ifdef KRC_HPP_COUNT
    if (argc == 3) {
        for (const workload &w : workloads)
            if (std::strcmp(argv[1], w.name) == 0)
                return w.count(std::strtol(argv[2], nullptr, 10)), 0;
    }
    std::fprintf(stderr, "usage: %s WORKLOAD N, WORKLOAD one of:\n", argv[0]);
    for (const workload &w : workloads)
        std::fprintf(stderr, "  %s\n", w.name);
    return 2;
#else
    benchmark::Initialize(&argc, argv);
    for (const workload &w : workloads)
        benchmark::RegisterBenchmark(w.name, w.measure);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
#endif
}
