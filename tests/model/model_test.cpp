// SPDX-License-Identifier: MIT
// Every model-checking harness over fixed seeds: one test per harness and
// seed, named <family>_<seed>.  Each run starts and ends with nothing
// allocated: whatever a harness or the library allocates during a run must
// be released by its end.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "model.h"

namespace {

struct Harness {
    const char *family;
    void (*run)(const uint8_t *data, size_t size);
    size_t bytes;  // per seed: long enough for several containers per run
};

const Harness kHarnesses[] = {
    {"llist", krc_model::run_llist, 6000},
    {"slist", krc_model::run_slist, 6000},
    {"dlist", krc_model::run_dlist, 6000},
    {"krqueue", krc_model::run_krqueue, 4000},
    {"hashtab", krc_model::run_hashtab, 6000},
    {"mempool", krc_model::run_mempool, 4000},
    {"slidingaverage", krc_model::run_slidingaverage, 6000},
};
constexpr uint32_t kSeeds = 8;

struct Case {
    const Harness *harness;
    uint32_t seed;
};

std::vector<Case> cases() {
    std::vector<Case> out;
    for (const Harness &h : kHarnesses)
        for (uint32_t seed = 1; seed <= kSeeds; ++seed)
            out.push_back({&h, seed});
    return out;
}

void PrintTo(const Case &c, std::ostream *os) { *os << c.harness->family << " seed " << c.seed; }

class ModelChecked : public ::testing::TestWithParam<Case> {};

// A mismatch aborts the program with the harness's message; the test's name
// says which harness and seed.
TEST_P(ModelChecked, AgreesWithTheModelAndReleasesEverything) {
    const Case &c = GetParam();
    const std::vector<uint8_t> bytes = krc_model::random_bytes(c.seed, c.harness->bytes);
    krc_test::AllocScope scope;
    c.harness->run(bytes.data(), bytes.size());
    EXPECT_EQ(scope.live(), 0);
}

INSTANTIATE_TEST_SUITE_P(Harnesses, ModelChecked, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             return std::string(info.param.harness->family) + "_" + std::to_string(info.param.seed);
                         });

}  // namespace
