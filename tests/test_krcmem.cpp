// SPDX-License-Identifier: MIT
#include <libkrc/krcmem.h>

#include <cstdint>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

#if defined(__SANITIZE_ADDRESS__)
// Refused alignments must come back as a failure status, as from the C library, rather than abort the program.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }
#endif

TEST(KrMem, BlocksAreAlignedAndEveryFailureIsNull) {
    EXPECT_EQ(krc_test::sweep_alloc_failures([](long) { kr_free(kr_memalign(64, 100)); }), 1);
    krc_test::AllocScope scope;
    for (uint32_t alignment = sizeof(void *); alignment <= 65536; alignment *= 2) {
        void *p = kr_memalign(alignment, 100);
        ASSERT_NE(p, nullptr) << alignment;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignment, 0u) << alignment;
        kr_free(p);
    }
    for (uint32_t alignment : {0u, 2u, 6u, 12u, 24u})  // refused by the platform
        EXPECT_EQ(kr_memalign(alignment, 100), nullptr) << alignment;
    kr_free(nullptr);
    EXPECT_EQ(scope.live(), 0);
}

TEST(KrMemDeathTest, OddAlignment) {
    for (uint32_t alignment : {1u, 3u, 4097u})
        EXPECT_KRC_ASSERT(kr_memalign(alignment, 16), "src/krcmem.cpp", "kr_memalign", "(alignment % 2) == 0");
}
