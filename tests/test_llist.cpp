// SPDX-License-Identifier: MIT
// Generic list: the model check (tests/model/llist.cpp) covers behaviour and
// injected hook failures; here the platform-heap defaults, allocation failure
// through malloc itself, and every assertion.
#include <libkrc/llist.h>

#include <cstdint>
#include <cstdlib>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

namespace {

void *item(uintptr_t v) { return reinterpret_cast<void *>(v); }

// Whether lst holds 1, 2, 3; allocates nothing, so it can run where malloc fails.
bool holds_1_2_3(list_t *lst) {
    uintptr_t v = 1;
    for (list_iter_t i = list_first(lst); !list_end(i); i = list_next(i))
        if (list_get(i) != item(v++))
            return false;
    return v == 4;
}

void *alloc_hook(size_t size) { return malloc(size); }
void free_hook(void *block) { free(block); }

TEST(List, NullHooksSelectThePlatformHeapIndependently) {
    list_t *a = list_new(alloc_hook, nullptr), *f = list_new(nullptr, free_hook);
    EXPECT_EQ(a->alloc_fn, &alloc_hook);
    EXPECT_EQ(a->free_fn, &free);
    EXPECT_EQ(f->alloc_fn, &malloc);
    EXPECT_EQ(f->free_fn, &free_hook);
    list_free(a, nullptr);
    list_free(f, nullptr);
}

unsigned odd(void *data, void *) { return reinterpret_cast<uintptr_t>(data) % 2; }
void *plus_100(void *data) { return item(reinterpret_cast<uintptr_t>(data) + 100); }
void *copy_item(void *data) {
    auto *copy = static_cast<void **>(malloc(sizeof(void *)));
    if (copy != nullptr)
        *copy = data;
    return copy;
}

// Every operation that allocates, with malloc failing at each of its
// allocations in turn: nothing leaks and the source is as it was.
TEST(List, EveryMallocFailureIsCleanAndLeavesTheSourceUnchanged) {
    list_t *(*const ops[])(list_t *) = {
        [](list_t *s) { return sublist_create(s, odd, nullptr); },
        [](list_t *s) { return sublist_create_neg(s, odd, nullptr); },
        [](list_t *s) { return sublist_adaptor(s, plus_100); },
        [](list_t *s) { return sublist_copy(s); },
        [](list_t *s) { return list_copy(s, copy_item, free); },
        [](list_t *s) { return list_add(s, item(4)) ? (list_remove_node(s, s->last), s) : nullptr; },
        [](list_t *s) { return list_insert(s, item(0)) ? (list_remove_node(s, s->first), s) : nullptr; },
    };
    list_t *src = list_new(nullptr, nullptr);
    for (uintptr_t v : {1, 2, 3})
        list_add(src, item(v));
    for (auto op : ops) {
        long failures = krc_test::sweep_alloc_failures([&](long) {
            list_t *made = op(src);
            if (made != src)
                list_free(made, free);
            EXPECT_TRUE(holds_1_2_3(src));
        });
        EXPECT_GE(failures, 1);
    }
    list_free(src, nullptr);
}

void noop(void *) {}
unsigned visit(void *, void *) { return 1; }
int order(void *, void *) { return 0; }
int match(void *, void *) { return 0; }

TEST(ListDeathTest, EveryCheckReportsItsExpressionFunctionAndFile) {
    list_t *lst = list_new(nullptr, nullptr);
    list_add(lst, item(1));
    list_t *sub = sublist_copy(lst);
    const char *file = "src/llist.cpp";
    EXPECT_KRC_ASSERT(list_clear(nullptr, nullptr), file, "list_clear", "lst != NULL");
    EXPECT_KRC_ASSERT(list_add(nullptr, item(1)), file, "list_add", "lst != NULL");
    EXPECT_KRC_ASSERT(list_add(sub, item(1)), file, "list_add", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_insert(nullptr, item(1)), file, "list_insert", "lst != NULL");
    EXPECT_KRC_ASSERT(list_insert(sub, item(1)), file, "list_insert", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_remove_node(nullptr, lst->first), file, "list_remove_node", "lst != NULL");
    EXPECT_KRC_ASSERT(list_remove_node(lst, nullptr), file, "list_remove_node", "node != NULL");
    EXPECT_KRC_ASSERT(list_delete(nullptr, lst->first, nullptr), file, "list_delete", "lst != NULL");
    EXPECT_KRC_ASSERT(list_delete(sub, nullptr, noop), file, "list_delete", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_delete(lst, nullptr, nullptr), file, "list_delete", "node != NULL");
    EXPECT_KRC_ASSERT(list_first(nullptr), file, "list_first", "lst != NULL");
    EXPECT_KRC_ASSERT(list_last(nullptr), file, "list_last", "lst != NULL");
    EXPECT_KRC_ASSERT(list_get(list_next(list_first(lst))), file, "list_get", "i.node != NULL");
    EXPECT_KRC_ASSERT(list_at(nullptr, 0), file, "list_at", "lst != NULL");
    EXPECT_KRC_ASSERT(list_at(lst, 1), file, "list_at", "idx < list_size(lst)");
    EXPECT_KRC_ASSERT(list_get_item(nullptr, 0), file, "list_get_item", "lst != NULL");
    EXPECT_KRC_ASSERT(list_get_item(lst, 1), file, "list_get_item", "index < list_size(lst)");
    EXPECT_KRC_ASSERT(list_find_data(nullptr, nullptr), file, "list_find_data", "lst");
    EXPECT_KRC_ASSERT(list_find(nullptr, nullptr, match), file, "list_find", "lst");
    EXPECT_KRC_ASSERT(list_find(lst, nullptr, nullptr), file, "list_find", "cmp");
    EXPECT_KRC_ASSERT(list_foreach(nullptr, nullptr, visit), file, "list_foreach", "lst != NULL");
    EXPECT_KRC_ASSERT(list_foreach(lst, nullptr, nullptr), file, "list_foreach", "f != NULL");
    EXPECT_KRC_ASSERT(sublist_create(nullptr, odd, nullptr), file, "sublist_create", "lst != NULL");
    EXPECT_KRC_ASSERT(sublist_create(lst, nullptr, nullptr), file, "sublist_create", "include_node != NULL");
    EXPECT_KRC_ASSERT(sublist_create_neg(nullptr, odd, nullptr), file, "sublist_create_neg", "lst != NULL");
    EXPECT_KRC_ASSERT(sublist_create_neg(lst, nullptr, nullptr), file, "sublist_create_neg", "include_node != NULL");
    EXPECT_KRC_ASSERT(list_copy(nullptr, copy_item, nullptr), file, "list_copy", "lst != NULL");
    EXPECT_KRC_ASSERT(list_copy(lst, nullptr, nullptr), file, "list_copy", "copier != NULL");
    EXPECT_KRC_ASSERT(list_merge(nullptr, nullptr), file, "list_merge", "src != NULL");
    EXPECT_KRC_ASSERT(list_merge(nullptr, lst), file, "list_merge", "dest != NULL");
    EXPECT_KRC_ASSERT(list_merge(sub, lst), file, "list_add", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_sort(nullptr, order), file, "list_sort", "lst != NULL");
    EXPECT_KRC_ASSERT(list_sort(lst, nullptr), file, "list_sort", "func != NULL");
    list_free(sub, nullptr);
    list_free(lst, nullptr);
}

}  // namespace
