#include <libkrc/llist.h>
#include <gtest/gtest.h>
#include "alloc_fault.h"
#include "death.h"
TEST(Smoke, AddFree) {
    krc_test::AllocScope s;
    list_t *l = list_new(nullptr, nullptr);
    ASSERT_NE(l, nullptr);
    int a;
    list_add(l, &a);
    EXPECT_EQ(s.live(), 2);
    list_free(l, nullptr);
    EXPECT_EQ(s.live(), 0);
}
TEST(Smoke, Death) { EXPECT_KRC_ASSERT(list_add(nullptr, nullptr), "src/llist.cpp", "list_add", "lst != NULL"); }
