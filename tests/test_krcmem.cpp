#include <libkrc/krcmem.h>

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

#if defined(__SANITIZE_ADDRESS__)
// Refused alignments must come back as a failure status, as from the C
// library, rather than abort the instrumented program.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }
#endif

TEST(KrMem, BlocksAreAlignedAndEveryFailureIsNull) {
    for (uint32_t alignment = sizeof(void *); alignment <= 65536; alignment *= 2) {
        krc_test::AllocScope scope;
        void *p = kr_memalign(alignment, 100);
        ASSERT_NE(p, nullptr) << alignment;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignment, 0u) << alignment;
        std::memset(p, 0xA5, 100);
        kr_free(p);
        EXPECT_EQ(scope.live(), 0);
    }
    kr_free(kr_memalign(16, 0));  // null or a unique block: either is accepted
    kr_free(nullptr);
    for (uint32_t alignment : {0u, 2u, 6u, 10u, 12u, 24u})  // refused by the platform
        EXPECT_EQ(kr_memalign(alignment, 100), nullptr) << alignment;
    if (sizeof(void *) == 4) {  // exhaustion on the 32-bit target
        EXPECT_EQ(kr_memalign(16, UINT32_MAX), nullptr);
    }
    krc_test::AllocScope scope(0);
    EXPECT_EQ(kr_memalign(64, 100), nullptr);
    EXPECT_TRUE(scope.failed());
    EXPECT_EQ(scope.live(), 0);
}

TEST(KrMemDeath, OddAlignment) {
    for (uint32_t alignment : {1u, 3u, 4097u})
        EXPECT_KRC_ASSERT(kr_memalign(alignment, 16), "src/krcmem.cpp", "kr_memalign", "(alignment % 2) == 0");
}
