// DList against std::list of record pointers as a least-recently-used list:
// each hit moves a record to the front.  The std::list peer keeps an
// iterator in every record and moves nodes with splice, so neither side
// allocates inside the loop; then both are emptied from the back and refilled.
#include <libkrc/dlist.h>

#include <cstdint>
#include <list>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

struct Rec {
    int32_t key;
    Rec *next, *prev;
    std::list<Rec *>::iterator pos;
};

std::vector<uint32_t> hits(size_t n) {
    std::mt19937 rng(42);
    std::vector<uint32_t> h(4 * n);
    for (auto &x : h)
        x = static_cast<uint32_t>(rng() % n);
    return h;
}

void BM_DList_Lru(benchmark::State &state) {
    std::vector<Rec> recs(static_cast<size_t>(state.range(0)));
    const std::vector<uint32_t> h = hits(recs.size());
    DList l;
    DList_makeDList(&l, &recs[0], &recs[0].next, &recs[0].prev, nullptr);
    for (auto _ : state) {
        for (Rec &r : recs)
            DList_insertLast(&l, &r);
        for (uint32_t i : h) {
            DList_remove(&l, &recs[i]);
            DList_insertFirst(&l, &recs[i]);
        }
        while (void *e = DList_removeLast(&l))
            benchmark::DoNotOptimize(e);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(h.size()));
}

void BM_StdList_Lru(benchmark::State &state) {
    std::vector<Rec> recs(static_cast<size_t>(state.range(0)));
    const std::vector<uint32_t> h = hits(recs.size());
    std::list<Rec *> l;
    for (auto _ : state) {
        for (Rec &r : recs)
            r.pos = l.insert(l.end(), &r);
        for (uint32_t i : h)
            l.splice(l.begin(), l, recs[i].pos);
        while (!l.empty()) {
            benchmark::DoNotOptimize(l.back());
            l.pop_back();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(h.size()));
}

}  // namespace

BENCHMARK(BM_DList_Lru)->Arg(1024);
BENCHMARK(BM_StdList_Lru)->Arg(1024);
