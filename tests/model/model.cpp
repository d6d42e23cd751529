// SPDX-License-Identifier: MIT
#include "model.h"

#include <cstdio>
#include <cstdlib>
#include <random>

namespace krc_model {

void fail(const char *file, int line, const char *what) {
    std::fprintf(stderr, "%s:%d: model mismatch: %s\n", file, line, what);
    std::abort();
}

std::vector<uint8_t> random_bytes(uint32_t seed, size_t size) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(size);
    for (auto &b : out)
        b = static_cast<uint8_t>(rng());
    return out;
}

}  // namespace krc_model
