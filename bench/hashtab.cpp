// HashTab against std::unordered_map (reserved up front, so neither rehashes):
// fill to capacity, look every key up (half of them absent), empty again.
#include <libkrc/hashtab.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

uint32_t hash_u32(void *key, uint32_t) { return *static_cast<const uint32_t *>(key) * 2654435761u; }
int equal_u32(void *a, void *b) { return *static_cast<const uint32_t *>(a) == *static_cast<const uint32_t *>(b); }

std::vector<uint32_t> make_keys(uint32_t n) {
    std::vector<uint32_t> keys(2 * n);
    for (uint32_t i = 0; i < 2 * n; ++i)
        keys[i] = i * 40503u + 17u;
    return keys;
}

void BM_HashTab(benchmark::State &state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    std::vector<uint32_t> keys = make_keys(n);
    HashTab t;
    if (!HashTab_init(&t, hash_u32, equal_u32, n, 0)) {
        state.SkipWithError("HashTab_init failed");
        return;
    }
    for (auto _ : state) {
        for (uint32_t i = 0; i < n; ++i)
            HashTab_store(&t, &keys[i], &keys[i]);
        for (uint32_t i = 0; i < 2 * n; ++i)
            benchmark::DoNotOptimize(HashTab_lookup(&t, &keys[i]));
        for (uint32_t i = 0; i < n; ++i)
            HashTab_delete(&t, &keys[i]);
    }
    HashTab_destroy(&t);
    state.SetItemsProcessed(state.iterations() * 4 * n);
}

void BM_UnorderedMap(benchmark::State &state) {
    const auto n = static_cast<uint32_t>(state.range(0));
    std::vector<uint32_t> keys = make_keys(n);
    std::unordered_map<uint32_t, void *> m;
    m.reserve(n);
    for (auto _ : state) {
        for (uint32_t i = 0; i < n; ++i)
            m.emplace(keys[i], &keys[i]);
        for (uint32_t i = 0; i < 2 * n; ++i) {
            auto it = m.find(keys[i]);
            benchmark::DoNotOptimize(it == m.end() ? nullptr : it->second);
        }
        for (uint32_t i = 0; i < n; ++i)
            m.erase(keys[i]);
    }
    state.SetItemsProcessed(state.iterations() * 4 * n);
}

}  // namespace

BENCHMARK(BM_HashTab)->Arg(100)->Arg(10000)->Arg(1000000);
BENCHMARK(BM_UnorderedMap)->Arg(100)->Arg(10000)->Arg(1000000);
