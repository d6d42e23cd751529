// Generic list: behaviour per operation family, every assertion, and
// allocation failure at every hook call.
#include <libkrc/llist.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

namespace {

using V = std::vector<uintptr_t>;
using S = std::vector<std::string>;

// Hooks, destructors and callbacks append to one log, so orders can be checked.
S events;
long allocs, frees, calls, fail_at;  // hook counters; fail_at: the call that fails

void *hook_alloc(size_t size) {
    if (calls++ == fail_at)
        return nullptr;
    ++allocs;
    events.push_back("alloc");
    return malloc(size);
}
void hook_free(void *block) {
    ++frees;
    events.push_back("free");
    free(block);
}

void *item(uintptr_t v) { return reinterpret_cast<void *>(v); }
uintptr_t val(void *p) { return reinterpret_cast<uintptr_t>(p); }
void log_data(void *data) { events.push_back("d" + std::to_string(val(data))); }

// The data first to last, after checking the links both ways.
V contents(const list_t *lst) {
    V out;
    const list_node_t *prev = nullptr;
    for (const list_node_t *n = lst->first; n != nullptr; prev = n, n = n->next) {
        EXPECT_EQ(n->prev, prev);
        out.push_back(val(n->data));
    }
    EXPECT_EQ(lst->last, prev);
    return out;
}

list_t *make(const V &values) {
    list_t *lst = list_new(hook_alloc, hook_free);
    for (uintptr_t v : values)
        list_add(lst, item(v));
    return lst;
}

class ListTest : public ::testing::Test {
protected:
    void SetUp() override {
        allocs = frees = calls = 0;
        fail_at = -1;
        events.clear();
        events.reserve(256);  // the log must not grow inside an AllocScope
    }
    void TearDown() override { EXPECT_EQ(allocs, frees) << "hook allocations leaked"; }
};

TEST_F(ListTest, NullHooksSelectThePlatformHeapIndependently) {
    krc_test::AllocScope scope;
    list_t *both = list_new(nullptr, nullptr);
    list_add(both, item(1));
    EXPECT_EQ(scope.live(), 2);
    list_t *a = list_new(hook_alloc, nullptr);
    EXPECT_TRUE(both->alloc_fn == &malloc && both->free_fn == &free && both->is_sublist == 0);
    EXPECT_TRUE(a->alloc_fn == &hook_alloc && a->free_fn == &free);
    list_t *f = list_new(nullptr, hook_free);
    EXPECT_TRUE(f->alloc_fn == &malloc && f->free_fn == &hook_free);
    for (list_t *l : {both, a, f})
        list_free(l, nullptr);
    EXPECT_EQ(scope.live(), 0);
}

TEST_F(ListTest, LinkingUnlinkingAndDestructorOrder) {
    list_t *lst = make({});
    list_insert(lst, item(2));
    list_add(lst, item(3));
    list_insert(lst, item(1));
    list_add(lst, nullptr);  // null data is an ordinary value
    EXPECT_EQ(contents(lst), (V{1, 2, 3, 0}));
    events.clear();
    EXPECT_EQ(list_remove_node(lst, lst->last), nullptr);  // the last: predecessor becomes last
    EXPECT_EQ(list_delete(lst, lst->first->next, log_data), lst->last);
    EXPECT_EQ(list_remove_node(lst, lst->first), lst->first);  // the first: returns the new first
    list_add(lst, item(4));
    list_clear(lst, log_data);  // every destructor call before any release
    EXPECT_EQ(events, (S{"free", "d2", "free", "free", "alloc", "d3", "d4", "free", "free"}));
    EXPECT_TRUE(list_empty(lst) && list_end(list_first(lst)) && list_end(list_last(lst)));
    list_add(lst, item(5));  // usable again with the same hooks
    list_free(lst, log_data);
    list_free(nullptr, log_data);
    EXPECT_EQ(events.back(), "free");
}

TEST_F(ListTest, IteratorsWalkBothWaysAndStepOffTheEnds) {
    list_t *lst = make({1, 2, 3});
    V forward, backward;
    for (list_iter_t i = list_first(lst); !list_end(i); i = list_next(i))
        forward.push_back(val(list_get(i)));
    for (list_iter_t i = list_last(lst); !list_end(i); i = list_prev(i))
        backward.push_back(val(list_get(i)));
    EXPECT_EQ(forward, (V{1, 2, 3}));
    EXPECT_EQ(backward, (V{3, 2, 1}));
    list_free(lst, nullptr);
}

// ---- Queries and traversal ----------------------------------------------------

int cmp_calls;
int equals_key(void *key, void *data) { return ++cmp_calls, val(key) == val(data) ? 0 : -1; }
unsigned is_odd(void *data, void *ctx) { return ++*static_cast<int *>(ctx), val(data) % 2; }
uintptr_t stop_at;  // visitors return 0 for this item; separators at this call
unsigned visit(void *, void *data) {
    events.push_back("f" + std::to_string(val(data)));
    return val(data) != stop_at;
}
unsigned separator(void *) {
    events.push_back("sep");
    return events.size() != stop_at;
}
unsigned dual_visit(void *ctx1, void *ctx2, void *data) {
    events.push_back(std::to_string(val(ctx1)) + std::to_string(val(ctx2)) + std::to_string(val(data)));
    return 1;
}
unsigned append_at_2(void *ctx, void *data) {
    if (val(data) == 2)
        list_add(static_cast<list_t *>(ctx), item(3));
    return visit(ctx, data);
}

TEST_F(ListTest, PositionsSearchesAndCounts) {
    list_t *lst = make({1, 2, 0, 2, 3});
    EXPECT_EQ(list_size(lst), 5u);
    EXPECT_EQ(val(list_at(lst, 0)), 1u);
    EXPECT_EQ(val(list_get_item(lst, 4)), 3u);
    EXPECT_EQ(list_find_data(lst, item(2)), lst->first->next);  // the one nearer to first
    EXPECT_EQ(list_find_data(lst, nullptr), lst->first->next->next);
    cmp_calls = 0;
    EXPECT_EQ(list_find(lst, item(2), equals_key), lst->first->next);
    EXPECT_EQ(list_find(lst, item(9), equals_key), nullptr);
    EXPECT_EQ(cmp_calls, 7);
    int pred_calls = 0;
    EXPECT_EQ(list_count(lst, is_odd, &pred_calls), 2u);
    EXPECT_EQ(pred_calls, 5);
    EXPECT_EQ(list_count(lst, nullptr, nullptr), 5u);
    list_free(lst, nullptr);
}

TEST_F(ListTest, VisitorsStopAtTheFirstZero) {
    auto fwd = [](list_t *l) { return list_foreach(l, l, visit); };
    auto rev = [](list_t *l) { return list_foreach_reversed(l, l, visit); };
    auto sep = [](list_t *l) { return list_foreach_sep(l, l, visit, separator); };
    auto grow = [](list_t *l) { return list_foreach(l, l, append_at_2); };
    const struct {
        V items;
        uintptr_t stop_at;
        int (*run)(list_t *);
        int result;
        S calls;
    } cases[] = {
        {{1, 2, 3}, 2, fwd, 0, {"f1", "f2"}},
        {{}, 0, fwd, 1, {}},
        {{1, 2, 3}, 0, rev, 1, {"f3", "f2", "f1"}},
        {{1, 2, 3}, 0, sep, 1, {"f1", "sep", "f2", "sep", "f3"}},
        {{1}, 0, sep, 1, {"f1"}},
        {{1, 2, 3}, 2, sep, 0, {"f1", "sep"}},  // sep is the second call and stops
        {{1, 2}, 0, grow, 1, {"f1", "alloc", "f2", "f3"}},  // appended during the walk: visited
    };
    for (const auto &c : cases) {
        list_t *lst = make(c.items);
        stop_at = c.stop_at;
        events.clear();
        EXPECT_EQ(c.run(lst), c.result);
        EXPECT_EQ(events, c.calls);
        list_free(lst, nullptr);
    }
    list_t *lst = make({1, 2});
    events.clear();
    EXPECT_EQ(list_dual_foreach(lst, item(7), item(8), dual_visit), 1);
    EXPECT_EQ(events, (S{"781", "782"}));
    list_free(lst, nullptr);
}

// ---- Derived lists and sorting ------------------------------------------------------

unsigned select_odd(void *data, void *ctx) {
    events.push_back("sel" + std::to_string(val(data)) + std::to_string(val(ctx)));
    return val(data) % 2;
}
void *plus_100(void *data) { return val(data) == 2 ? nullptr : item(val(data) + 100); }
int copies_left = -1;  // the copier fails when this reaches 0
void *copy_item(void *data) {
    if (copies_left-- == 0)
        return nullptr;
    auto *copy = static_cast<uintptr_t *>(malloc(sizeof(uintptr_t)));
    *copy = val(data);
    return copy;
}
void free_copy(void *copy) {
    events.push_back("d" + std::to_string(*static_cast<uintptr_t *>(copy)));
    free(copy);
}

TEST_F(ListTest, SublistsShareDataAndNeverDestroyIt) {
    list_t *src = make({1, 2, 3, 4, 5});
    events.clear();
    list_t *odd = sublist_create(src, select_odd, item(9));
    EXPECT_EQ(events[1], "sel19");  // after the header; data first, ctx second
    list_t *even = sublist_create_neg(src, select_odd, item(9));
    list_t *mapped = sublist_adaptor(src, plus_100);
    list_t *again = sublist_copy(odd);  // a sublist of a sublist
    EXPECT_EQ(contents(odd), (V{1, 3, 5}));
    EXPECT_EQ(contents(even), (V{2, 4}));
    EXPECT_EQ(contents(mapped), (V{101, 0, 103, 104, 105}));
    EXPECT_EQ(contents(again), (V{1, 3, 5}));
    EXPECT_EQ(list_remove_node(again, again->first), again->first);  // allowed on a sublist
    for (list_t *sub : {odd, even, mapped, again})
        EXPECT_TRUE(sub->is_sublist == 1 && sub->alloc_fn == &hook_alloc && sub->free_fn == &hook_free);
    events.clear();
    list_clear(again, log_data);
    list_free(odd, log_data);
    EXPECT_EQ(events, (S{"free", "free", "free", "free", "free", "free"}));
    EXPECT_EQ(again->is_sublist, 1);  // a cleared sublist stays one
    for (list_t *l : {even, mapped, again, src})
        list_free(l, nullptr);
}

TEST_F(ListTest, CopyReleasesItsCopiesWhenTheCopierFails) {
    list_t *src = make({1, 2, 3});
    list_free(list_copy(src, copy_item, free_copy), free_copy);
    copies_left = 1;  // the second copy fails
    events.clear();
    EXPECT_EQ(list_copy(src, copy_item, free_copy), nullptr);
    EXPECT_EQ(events, (S{"alloc", "alloc", "d1", "free", "free"}));
    copies_left = -1;
    list_free(src, nullptr);
}

TEST_F(ListTest, MergeAppendsNewNodesAndUndoesNothingOnFailure) {
    list_t *dest = make({9});
    EXPECT_EQ(list_merge(dest, make({1, 2})), dest);
    EXPECT_EQ(contents(dest), (V{9, 1, 2}));
    list_t *sub = sublist_copy(dest);
    EXPECT_EQ(list_merge(sub, make({})), sub);  // an empty source into a sublist
    list_free(sub, nullptr);
    list_t *src = make({1, 2, 3});
    fail_at = calls + 2;
    EXPECT_EQ(list_merge(dest, src), nullptr);
    EXPECT_EQ(contents(dest), (V{9, 1, 2, 1, 2}));
    EXPECT_EQ(contents(src), (V{1, 2, 3}));
    list_free(src, nullptr);
    list_free(dest, nullptr);
}

int by_tens(void *a, void *b) { return ++cmp_calls, int(val(a) / 10) - int(val(b) / 10); }

TEST_F(ListTest, SortIsAStableBubbleSortThatKeepsNodesInPlace) {
    const struct {
        V in, out;
        int calls;
    } cases[] = {
        {{30}, {30}, 0},
        {{10, 20, 30, 40}, {10, 20, 30, 40}, 3},           // sorted: one pass
        {{21, 10, 22, 11, 23}, {10, 11, 21, 22, 23}, 12},  // equal tens keep their order
        {{40, 30, 20, 10}, {10, 20, 30, 40}, 12},
    };
    for (const auto &c : cases) {
        list_t *lst = make(c.in);
        list_node_t *first = lst->first;
        cmp_calls = 0;
        list_sort(lst, by_tens);
        EXPECT_EQ(contents(lst), c.out);
        EXPECT_EQ(cmp_calls, c.calls);
        EXPECT_EQ(lst->first, first) << "nodes are not relinked";
        list_free(lst, nullptr);
    }
}

// Every constructor, fed a failing hook at each of its allocations, releases
// what it built and leaves the source as it was; list_copy also releases
// every copy, the one whose node failed included.
TEST_F(ListTest, EveryAllocationFailureIsCleanAndLeavesTheSourceUnchanged) {
    const struct {
        list_t *(*construct)(list_t *);
        V source_after;  // what the source holds once the operation succeeded
    } cases[] = {
        {[](list_t *s) { return sublist_create(s, select_odd, nullptr); }, {1, 2, 3}},
        {[](list_t *s) { return sublist_create_neg(s, select_odd, nullptr); }, {1, 2, 3}},
        {[](list_t *s) { return sublist_adaptor(s, plus_100); }, {1, 2, 3}},
        {[](list_t *s) { return sublist_copy(s); }, {1, 2, 3}},
        {[](list_t *s) { return list_copy(s, copy_item, free_copy); }, {1, 2, 3}},
        {[](list_t *s) { return list_add(s, item(4)); }, {1, 2, 3, 4}},
        {[](list_t *s) { return list_insert(s, item(0)); }, {0, 1, 2, 3}},
    };
    for (const auto &c : cases) {
        for (long k = 0;; ++k) {
            list_t *src = make({1, 2, 3});
            fail_at = calls + k;
            list_t *made;
            {
                krc_test::AllocScope scope;  // the copies come from malloc
                made = c.construct(src);
                fail_at = -1;
                if (made != src)
                    list_free(made, free_copy);
                EXPECT_EQ(scope.live(), made == src ? 1 : 0);  // an appended node stays
            }
            EXPECT_EQ(contents(src), made ? c.source_after : (V{1, 2, 3}));
            list_free(src, nullptr);
            EXPECT_EQ(allocs, frees) << "leak when hook allocation " << k << " failed";
            if (made != nullptr)
                break;
        }
    }
}

void noop(void *) {}

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
    EXPECT_KRC_ASSERT(list_find(nullptr, nullptr, equals_key), file, "list_find", "lst");
    EXPECT_KRC_ASSERT(list_find(lst, nullptr, nullptr), file, "list_find", "cmp");
    EXPECT_KRC_ASSERT(list_foreach(nullptr, nullptr, visit), file, "list_foreach", "lst != NULL");
    EXPECT_KRC_ASSERT(list_foreach(lst, nullptr, nullptr), file, "list_foreach", "f != NULL");
    EXPECT_KRC_ASSERT(sublist_create(nullptr, select_odd, nullptr), file, "sublist_create", "lst != NULL");
    EXPECT_KRC_ASSERT(sublist_create(lst, nullptr, nullptr), file, "sublist_create", "include_node != NULL");
    EXPECT_KRC_ASSERT(sublist_create_neg(nullptr, select_odd, nullptr), file, "sublist_create_neg", "lst != NULL");
    EXPECT_KRC_ASSERT(sublist_create_neg(lst, nullptr, nullptr), file, "sublist_create_neg", "include_node != NULL");
    EXPECT_KRC_ASSERT(list_copy(nullptr, copy_item, nullptr), file, "list_copy", "lst != NULL");
    EXPECT_KRC_ASSERT(list_copy(lst, nullptr, nullptr), file, "list_copy", "copier != NULL");
    EXPECT_KRC_ASSERT(list_merge(nullptr, nullptr), file, "list_merge", "src != NULL");
    EXPECT_KRC_ASSERT(list_merge(nullptr, lst), file, "list_merge", "dest != NULL");
    EXPECT_KRC_ASSERT(list_merge(sub, lst), file, "list_add", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_sort(nullptr, by_tens), file, "list_sort", "lst != NULL");
    EXPECT_KRC_ASSERT(list_sort(lst, nullptr), file, "list_sort", "func != NULL");
    list_free(sub, nullptr);
    list_free(lst, nullptr);
}

}  // namespace
