// List against std::list of record pointers, used as a FIFO queue (every
// record enqueued, then every record dequeued) and kept in sorted order by
// insertion.  The intrusive list allocates nothing; std::list allocates one
// node per insertion.
#include <libkrc/slist.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

struct Rec {
    int32_t key;
    Rec *link;
};

int32_t by_key(void *a, void *b) {
    const int32_t x = static_cast<Rec *>(a)->key, y = static_cast<Rec *>(b)->key;
    return (x > y) - (x < y);
}

std::vector<Rec> make_recs(int64_t n) {
    std::vector<Rec> recs(static_cast<size_t>(n));
    for (size_t i = 0; i < recs.size(); ++i)
        recs[i].key = static_cast<int32_t>((i * 40503u) % 1009u);
    return recs;
}

void BM_List_Fifo(benchmark::State &state) {
    std::vector<Rec> recs = make_recs(state.range(0));
    List l;
    List_makeList(&l, &recs[0], &recs[0].link, by_key);
    for (auto _ : state) {
        for (Rec &r : recs)
            List_insertLast(&l, &r);
        while (void *e = List_removeFirst(&l))
            benchmark::DoNotOptimize(e);
    }
    state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}

void BM_StdList_Fifo(benchmark::State &state) {
    std::vector<Rec> recs = make_recs(state.range(0));
    std::list<Rec *> l;
    for (auto _ : state) {
        for (Rec &r : recs)
            l.push_back(&r);
        while (!l.empty()) {
            benchmark::DoNotOptimize(l.front());
            l.pop_front();
        }
    }
    state.SetItemsProcessed(state.iterations() * 2 * state.range(0));
}

void BM_List_InsertSorted(benchmark::State &state) {
    std::vector<Rec> recs = make_recs(state.range(0));
    List l;
    List_makeList(&l, &recs[0], &recs[0].link, by_key);
    for (auto _ : state) {
        List_makeList(&l, &recs[0], &recs[0].link, by_key);
        for (Rec &r : recs)
            List_insertSorted(&l, &r);
        benchmark::DoNotOptimize(l.first);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_StdList_InsertSorted(benchmark::State &state) {
    std::vector<Rec> recs = make_recs(state.range(0));
    for (auto _ : state) {
        std::list<Rec *> l;
        for (Rec &r : recs) {
            auto it = std::find_if(l.begin(), l.end(), [&](Rec *x) { return by_key(x, &r) >= 0; });
            l.insert(it, &r);
        }
        benchmark::DoNotOptimize(l.front());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_List_Fifo)->Arg(1024);
BENCHMARK(BM_StdList_Fifo)->Arg(1024);
BENCHMARK(BM_List_InsertSorted)->Arg(256);
BENCHMARK(BM_StdList_InsertSorted)->Arg(256);
