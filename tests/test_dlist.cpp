// SPDX-License-Identifier: MIT
// Intrusive doubly linked list: the model check (tests/model/dlist.cpp) with
// fixed seeds; every record it allocates is released by the end of a run.
#include <cstdint>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "model.h"

namespace {

TEST(DList, ModelChecked) {
    for (uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        std::fprintf(stderr, "dlist model seed %u\n", seed);  // a mismatch aborts: the last one printed failed
        std::vector<uint8_t> bytes = krc_model::random_bytes(seed, 6000);
        krc_test::AllocScope scope;
        krc_model::run_dlist(bytes.data(), bytes.size());
        EXPECT_EQ(scope.live(), 0);
    }
}

}  // namespace
