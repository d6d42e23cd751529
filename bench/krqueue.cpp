// The bounded queue against std::deque used as a FIFO: a steady stream of
// one add and one take with the queue kept half full, and a full fill/drain.
#include <libkrc/krqueue.h>

#include <deque>

#include <benchmark/benchmark.h>

namespace {

int items[1024];

void BM_krqueue_stream(benchmark::State &state) {
    const auto capacity = static_cast<uint32_t>(state.range(0));
    krqueue *q = krqueue_new(capacity);
    for (uint32_t k = 0; k < capacity / 2; ++k)
        krqueue_add(q, &items[k % 1024]);
    uint32_t k = 0;
    for (auto _ : state) {
        krqueue_add(q, &items[++k % 1024]);
        benchmark::DoNotOptimize(krqueue_get(q));
    }
    krqueue_free(q, nullptr);
}

void BM_deque_stream(benchmark::State &state) {
    const auto capacity = static_cast<uint32_t>(state.range(0));
    std::deque<void *> q;
    for (uint32_t k = 0; k < capacity / 2; ++k)
        q.push_back(&items[k % 1024]);
    uint32_t k = 0;
    for (auto _ : state) {
        if (q.size() < capacity)
            q.push_back(&items[++k % 1024]);
        benchmark::DoNotOptimize(q.front());
        q.pop_front();
    }
}

void BM_krqueue_fill_drain(benchmark::State &state) {
    const auto capacity = static_cast<uint32_t>(state.range(0));
    krqueue *q = krqueue_new(capacity);
    for (auto _ : state) {
        for (uint32_t k = 0; k < capacity; ++k)
            krqueue_add(q, &items[k % 1024]);
        while (void *e = krqueue_get(q))
            benchmark::DoNotOptimize(e);
    }
    krqueue_free(q, nullptr);
}

void BM_deque_fill_drain(benchmark::State &state) {
    const auto capacity = static_cast<uint32_t>(state.range(0));
    std::deque<void *> q;
    for (auto _ : state) {
        for (uint32_t k = 0; k < capacity; ++k)
            if (q.size() < capacity)
                q.push_back(&items[k % 1024]);
        while (!q.empty()) {
            benchmark::DoNotOptimize(q.front());
            q.pop_front();
        }
    }
}

}  // namespace

BENCHMARK(BM_krqueue_stream)->Arg(64)->Arg(4096);
BENCHMARK(BM_deque_stream)->Arg(64)->Arg(4096);
BENCHMARK(BM_krqueue_fill_drain)->Arg(64)->Arg(4096);
BENCHMARK(BM_deque_fill_drain)->Arg(64)->Arg(4096);
