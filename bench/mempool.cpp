// The block pool against malloc/free for same-sized blocks: one block taken
// and given back, and a batch taken and given back in reverse.
#include <libkrc/mempool.h>

#include <cstdlib>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kBlock = 48;

void BM_mempool_pair(benchmark::State &state) {
    mempool *pool = mempool_create(1024, kBlock);
    for (auto _ : state) {
        void *b = mempool_alloc(pool);
        benchmark::DoNotOptimize(b);
        mempool_free(pool, b);
    }
    mempool_destroy(pool);
}

void BM_malloc_pair(benchmark::State &state) {
    for (auto _ : state) {
        void *b = malloc(kBlock);
        benchmark::DoNotOptimize(b);
        free(b);
    }
}

void BM_mempool_batch(benchmark::State &state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    mempool *pool = mempool_create(n, kBlock);
    std::vector<void *> out(n);
    for (auto _ : state) {
        for (uint32_t i = 0; i < n; ++i)
            out[i] = mempool_alloc(pool);
        benchmark::DoNotOptimize(out.data());
        for (uint32_t i = n; i-- > 0;)
            mempool_free(pool, out[i]);
    }
    mempool_destroy(pool);
}

void BM_malloc_batch(benchmark::State &state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    std::vector<void *> out(n);
    for (auto _ : state) {
        for (uint32_t i = 0; i < n; ++i)
            out[i] = malloc(kBlock);
        benchmark::DoNotOptimize(out.data());
        for (uint32_t i = n; i-- > 0;)
            free(out[i]);
    }
}

}  // namespace

BENCHMARK(BM_mempool_pair);
BENCHMARK(BM_malloc_pair);
BENCHMARK(BM_mempool_batch)->Arg(1024);
BENCHMARK(BM_malloc_batch)->Arg(1024);
