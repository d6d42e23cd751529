// CRC-16 throughput: the table-driven library CRC against a plain bitwise
// loop, the obvious hand-written alternative.
#include <libkrc/crc16.h>

#include <cstdint>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

uint16_t bitwise(const uint8_t *data, size_t n) {
    uint16_t reg = 0;
    for (size_t i = 0; i < n; ++i) {
        reg ^= static_cast<uint16_t>(data[i] << 8);
        for (int b = 0; b < 8; ++b)
            reg = static_cast<uint16_t>(reg & 0x8000 ? (reg << 1) ^ 0x1021 : reg << 1);
    }
    return reg;
}

std::vector<uint8_t> random_bytes(size_t n) {
    std::mt19937 rng(1);
    std::vector<uint8_t> v(n);
    for (auto &b : v)
        b = static_cast<uint8_t>(rng());
    return v;
}

void BM_TableCrc(benchmark::State &state) {
    const auto buf = random_bytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        uint16_t crc;
        krclib_crc16Calc(buf.data(), &crc, static_cast<uint32_t>(buf.size()));
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_BitwiseCrc(benchmark::State &state) {
    const auto buf = random_bytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(bitwise(buf.data(), buf.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_TableCrc)->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK(BM_BitwiseCrc)->Arg(16)->Arg(256)->Arg(4096);
