// The generic list against std::list<void *>, the container a C++ user would
// reach for: build-and-release, a full walk, and a search by data pointer.
#include <libkrc/llist.h>

#include <algorithm>
#include <cstdint>
#include <list>

#include <benchmark/benchmark.h>

namespace {

void *item(int64_t v) { return reinterpret_cast<void *>(static_cast<intptr_t>(v)); }

void BM_krc_build_free(benchmark::State &state) {
    for (auto _ : state) {
        list_t *lst = list_new(nullptr, nullptr);
        for (int64_t i = 0; i < state.range(0); ++i)
            list_add(lst, item(i));
        benchmark::DoNotOptimize(lst->last);
        list_free(lst, nullptr);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_std_build_free(benchmark::State &state) {
    for (auto _ : state) {
        std::list<void *> lst;
        for (int64_t i = 0; i < state.range(0); ++i)
            lst.push_back(item(i));
        benchmark::DoNotOptimize(lst.back());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

unsigned sum_visit(void *ctx, void *data) {
    *static_cast<uintptr_t *>(ctx) += reinterpret_cast<uintptr_t>(data);
    return 1;
}

void BM_krc_walk(benchmark::State &state) {
    list_t *lst = list_new(nullptr, nullptr);
    for (int64_t i = 0; i < state.range(0); ++i)
        list_add(lst, item(i));
    for (auto _ : state) {
        uintptr_t sum = 0;
        list_foreach(lst, &sum, sum_visit);
        benchmark::DoNotOptimize(sum);
    }
    list_free(lst, nullptr);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_std_walk(benchmark::State &state) {
    std::list<void *> lst;
    for (int64_t i = 0; i < state.range(0); ++i)
        lst.push_back(item(i));
    for (auto _ : state) {
        uintptr_t sum = 0;
        for (void *p : lst)
            sum += reinterpret_cast<uintptr_t>(p);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_krc_find_last(benchmark::State &state) {
    list_t *lst = list_new(nullptr, nullptr);
    for (int64_t i = 0; i < state.range(0); ++i)
        list_add(lst, item(i));
    for (auto _ : state)
        benchmark::DoNotOptimize(list_find_data(lst, item(state.range(0) - 1)));
    list_free(lst, nullptr);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_std_find_last(benchmark::State &state) {
    std::list<void *> lst;
    for (int64_t i = 0; i < state.range(0); ++i)
        lst.push_back(item(i));
    for (auto _ : state)
        benchmark::DoNotOptimize(std::find(lst.begin(), lst.end(), item(state.range(0) - 1)));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_krc_build_free)->Arg(1000);
BENCHMARK(BM_std_build_free)->Arg(1000);
BENCHMARK(BM_krc_walk)->Arg(1000);
BENCHMARK(BM_std_walk)->Arg(1000);
BENCHMARK(BM_krc_find_last)->Arg(1000);
BENCHMARK(BM_std_find_last)->Arg(1000);
