// Generic list: behaviour per operation family, every assertion, allocation
// failure at every allocation, and a randomised run against std::list.
#include <libkrc/llist.h>

#include <cstdint>
#include <cstdlib>
#include <list>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

namespace {

// ---- Counting hooks and a call log ---------------------------------------------

// Every hook call and callback appends an event, so tests can check orders.
std::vector<std::string> events;

struct HookHeap {
    long allocs = 0;   // successful allocations
    long frees = 0;
    long calls = 0;    // allocation calls, failed ones included
    long fail_at = -1; // index of the allocation call that fails
};
HookHeap heap;

void *hook_alloc(size_t size) {
    if (heap.calls++ == heap.fail_at)
        return nullptr;
    ++heap.allocs;
    events.push_back("alloc");
    return malloc(size);
}

void hook_free(void *block) {
    ++heap.frees;
    events.push_back("free");
    free(block);
}

// Data items are small integers disguised as pointers.
void *item(uintptr_t v) { return reinterpret_cast<void *>(v); }
uintptr_t val(void *p) { return reinterpret_cast<uintptr_t>(p); }

void log_destructor(void *data) { events.push_back("d" + std::to_string(val(data))); }

// Checks every invariant of the header and returns the data, first to last.
std::vector<uintptr_t> contents(const list_t *lst) {
    std::vector<uintptr_t> out;
    EXPECT_EQ(lst->first == nullptr, lst->last == nullptr);
    const list_node_t *prev = nullptr;
    for (const list_node_t *n = lst->first; n != nullptr; n = n->next) {
        EXPECT_EQ(n->prev, prev);
        out.push_back(val(n->data));
        prev = n;
    }
    EXPECT_EQ(lst->last, prev);
    std::vector<uintptr_t> back;
    for (const list_node_t *n = lst->last; n != nullptr; n = n->prev)
        back.insert(back.begin(), val(n->data));
    EXPECT_EQ(out, back);
    return out;
}

using V = std::vector<uintptr_t>;

class ListTest : public ::testing::Test {
protected:
    void SetUp() override {
        heap = HookHeap{};
        events.clear();
    }
    void TearDown() override { EXPECT_EQ(heap.allocs, heap.frees) << "hook allocations leaked"; }

    static list_t *make(std::initializer_list<uintptr_t> values) {
        list_t *lst = list_new(hook_alloc, hook_free);
        for (uintptr_t v : values)
            EXPECT_NE(list_add(lst, item(v)), nullptr);
        return lst;
    }
    static list_t *make_sublist(std::initializer_list<uintptr_t> values) {
        list_t *src = make(values);
        list_t *sub = sublist_copy(src);
        list_free(src, nullptr);
        return sub;
    }
};

// ---- Core ---------------------------------------------------------------------------

TEST_F(ListTest, NewUsesPlatformHeapForNullHooksIndependently) {
    {
        krc_test::AllocScope scope;
        list_t *lst = list_new(nullptr, nullptr);
        ASSERT_NE(lst, nullptr);
        EXPECT_EQ(lst->alloc_fn, &malloc);
        EXPECT_EQ(lst->free_fn, &free);
        EXPECT_EQ(lst->first, nullptr);
        EXPECT_EQ(lst->last, nullptr);
        EXPECT_EQ(lst->is_sublist, 0);
        list_add(lst, item(1));
        EXPECT_EQ(scope.live(), 2);
        list_free(lst, nullptr);
        EXPECT_EQ(scope.live(), 0);
    }
    list_t *a = list_new(hook_alloc, nullptr);
    EXPECT_EQ(a->alloc_fn, &hook_alloc);
    EXPECT_EQ(a->free_fn, &free);
    list_t *b = list_new(nullptr, hook_free);
    EXPECT_EQ(b->alloc_fn, &malloc);
    EXPECT_EQ(b->free_fn, &hook_free);
    list_free(b, nullptr);  // releases through hook_free a block from malloc
    heap.allocs = heap.frees;
    list_free(a, nullptr);
}

TEST_F(ListTest, AddAndInsertLinkAtEitherEnd) {
    list_t *lst = make({});
    list_add(lst, item(2));
    EXPECT_EQ(lst->first, lst->last);
    EXPECT_EQ(lst->first->next, nullptr);
    EXPECT_EQ(lst->first->prev, nullptr);
    list_insert(lst, item(1));
    list_add(lst, item(3));
    list_insert(lst, nullptr);  // null data is an ordinary value
    EXPECT_EQ(contents(lst), (V{0, 1, 2, 3}));
    EXPECT_EQ(heap.allocs, 5);
    list_free(lst, nullptr);

    list_t *single = make({});
    list_insert(single, item(7));
    EXPECT_EQ(single->first, single->last);
    EXPECT_EQ(contents(single), V{7});
    list_free(single, nullptr);
}

TEST_F(ListTest, RemoveNodeRelinksAndReturnsSuccessor) {
    struct Case {
        std::vector<uintptr_t> start;
        size_t position;
        bool returns_null;
        std::vector<uintptr_t> after;
    };
    const Case cases[] = {
        {{1}, 0, true, {}},
        {{1, 2, 3}, 0, false, {2, 3}},
        {{1, 2, 3}, 1, false, {1, 3}},
        {{1, 2, 3}, 2, true, {1, 2}},
    };
    for (const Case &c : cases) {
        list_t *lst = list_new(hook_alloc, hook_free);
        for (uintptr_t v : c.start)
            list_add(lst, item(v));
        list_node_t *node = lst->first;
        for (size_t k = 0; k < c.position; ++k)
            node = node->next;
        list_node_t *expected_next = node->next;
        long frees = heap.frees;
        EXPECT_EQ(list_remove_node(lst, node), expected_next);
        EXPECT_EQ(expected_next == nullptr, c.returns_null);
        EXPECT_EQ(heap.frees, frees + 1);
        EXPECT_EQ(contents(lst), c.after);
        list_free(lst, nullptr);
    }
}

TEST_F(ListTest, DeleteCallsDestructorBeforeUnlinking) {
    list_t *lst = make({1, 2, 3});
    list_node_t *second = lst->first->next;
    events.clear();
    EXPECT_EQ(list_delete(lst, second, log_destructor), lst->last);
    EXPECT_EQ(events, (std::vector<std::string>{"d2", "free"}));
    EXPECT_EQ(list_delete(lst, lst->first, nullptr), lst->first);
    EXPECT_EQ(contents(lst), V{3});
    list_free(lst, nullptr);
}

TEST_F(ListTest, ClearDestroysAllDataBeforeReleasingNodes) {
    list_t *lst = make({1, 2, 3});
    events.clear();
    list_clear(lst, log_destructor);
    EXPECT_EQ(events, (std::vector<std::string>{"d1", "d2", "d3", "free", "free", "free"}));
    EXPECT_TRUE(list_empty(lst));
    EXPECT_EQ(lst->alloc_fn, &hook_alloc);
    EXPECT_EQ(lst->free_fn, &hook_free);
    list_add(lst, item(4));  // usable again, same hooks
    EXPECT_EQ(contents(lst), V{4});
    events.clear();
    list_free(lst, log_destructor);
    EXPECT_EQ(events, (std::vector<std::string>{"d4", "free", "free"}));
    list_free(nullptr, log_destructor);  // no-op
}

TEST_F(ListTest, SublistNeverHandsDataToDestructorButAllowsRemoval) {
    list_t *sub = make_sublist({1, 2, 3});
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->is_sublist, 1);
    EXPECT_EQ(list_remove_node(sub, sub->first), sub->first);
    events.clear();
    list_clear(sub, log_destructor);
    EXPECT_EQ(events, (std::vector<std::string>{"free", "free"}));
    EXPECT_EQ(sub->is_sublist, 1);  // a cleared sublist stays a sublist
    events.clear();
    list_free(sub, log_destructor);
    EXPECT_EQ(events, std::vector<std::string>{"free"});
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
    EXPECT_TRUE(list_end(list_prev(list_first(lst))));
    EXPECT_TRUE(list_end(list_next(list_last(lst))));
    EXPECT_FALSE(list_empty(lst));
    list_clear(lst, nullptr);
    EXPECT_TRUE(list_end(list_first(lst)));
    EXPECT_TRUE(list_end(list_last(lst)));
    list_free(lst, nullptr);
}

// ---- Queries and traversal ------------------------------------------------------

struct Visit {
    std::vector<std::string> calls;
    uintptr_t stop_at = 0;  // f returns 0 for this value
    int sep_stop_at = 0;    // sep returns 0 at this call (1-based)
    int seps = 0;
};

unsigned visit(void *ctx, void *data) {
    auto *v = static_cast<Visit *>(ctx);
    v->calls.push_back("f" + std::to_string(val(data)));
    return val(data) != v->stop_at;
}

unsigned separator(void *ctx) {
    auto *v = static_cast<Visit *>(ctx);
    v->calls.push_back("sep");
    return ++v->seps != v->sep_stop_at;
}

unsigned dual_visit(void *ctx1, void *ctx2, void *data) {
    auto *v = static_cast<Visit *>(ctx1);
    v->calls.push_back(std::to_string(val(ctx2)) + ":" + std::to_string(val(data)));
    return 1;
}

unsigned is_odd(void *data, void *ctx) {
    ++*static_cast<int *>(ctx);
    return val(data) % 2;
}

int cmp_calls = 0;
int equals_key(void *key, void *data) {
    ++cmp_calls;
    return val(key) == val(data) ? 0 : (val(key) < val(data) ? -1 : 1);
}

TEST_F(ListTest, SizeAndPositionalAccess) {
    list_t *lst = make({});
    EXPECT_EQ(list_size(lst), 0u);
    list_add(lst, item(10));
    list_add(lst, item(11));
    list_add(lst, item(12));
    EXPECT_EQ(list_size(lst), 3u);
    EXPECT_EQ(val(list_at(lst, 0)), 10u);
    EXPECT_EQ(val(list_at(lst, 2)), 12u);
    EXPECT_EQ(val(list_get_item(lst, 1)), 11u);
    list_free(lst, nullptr);
}

TEST_F(ListTest, SearchesReturnTheFirstMatch) {
    list_t *lst = make({1, 2, 0, 2, 3});
    EXPECT_EQ(list_find_data(lst, item(2)), lst->first->next);
    EXPECT_EQ(list_find_data(lst, nullptr), lst->first->next->next);
    EXPECT_EQ(list_find_data(lst, item(9)), nullptr);
    cmp_calls = 0;
    EXPECT_EQ(list_find(lst, item(2), equals_key), lst->first->next);
    EXPECT_EQ(cmp_calls, 2);
    cmp_calls = 0;
    EXPECT_EQ(list_find(lst, item(9), equals_key), nullptr);
    EXPECT_EQ(cmp_calls, 5);
    list_clear(lst, nullptr);
    cmp_calls = 0;
    EXPECT_EQ(list_find(lst, item(1), equals_key), nullptr);
    EXPECT_EQ(cmp_calls, 0);
    list_free(lst, nullptr);
}

TEST_F(ListTest, CountCallsPredicateOncePerNode) {
    list_t *lst = make({1, 2, 3, 4, 5});
    int calls = 0;
    EXPECT_EQ(list_count(lst, is_odd, &calls), 3u);
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(list_count(lst, nullptr, nullptr), 5u);
    list_free(lst, nullptr);
}

TEST_F(ListTest, VisitorsStopAtTheFirstZero) {
    using S = std::vector<std::string>;
    struct Case {
        const char *name;
        std::vector<uintptr_t> items;
        uintptr_t stop_at;
        int sep_stop_at;
        int (*run)(list_t *, Visit *);
        int result;
        S calls;
    };
    auto fwd = [](list_t *l, Visit *v) { return list_foreach(l, v, visit); };
    auto rev = [](list_t *l, Visit *v) { return list_foreach_reversed(l, v, visit); };
    auto sep = [](list_t *l, Visit *v) { return list_foreach_sep(l, v, visit, separator); };
    const Case cases[] = {
        {"foreach", {1, 2, 3}, 0, 0, fwd, 1, {"f1", "f2", "f3"}},
        {"foreach stop", {1, 2, 3}, 2, 0, fwd, 0, {"f1", "f2"}},
        {"foreach empty", {}, 0, 0, fwd, 1, {}},
        {"reversed", {1, 2, 3}, 0, 0, rev, 1, {"f3", "f2", "f1"}},
        {"reversed stop", {1, 2, 3}, 2, 0, rev, 0, {"f3", "f2"}},
        {"sep", {1, 2, 3}, 0, 0, sep, 1, {"f1", "sep", "f2", "sep", "f3"}},
        {"sep single", {1}, 0, 0, sep, 1, {"f1"}},
        {"sep empty", {}, 0, 0, sep, 1, {}},
        {"sep stops", {1, 2, 3}, 0, 1, sep, 0, {"f1", "sep"}},
        {"sep f stops", {1, 2, 3}, 2, 0, sep, 0, {"f1", "sep", "f2"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        list_t *lst = list_new(hook_alloc, hook_free);
        for (uintptr_t v : c.items)
            list_add(lst, item(v));
        Visit v;
        v.stop_at = c.stop_at;
        v.sep_stop_at = c.sep_stop_at;
        EXPECT_EQ(c.run(lst, &v), c.result);
        EXPECT_EQ(v.calls, c.calls);
        list_free(lst, nullptr);
    }
}

TEST_F(ListTest, DualForeachPassesBothContextsFirst) {
    list_t *lst = make({1, 2});
    Visit v;
    EXPECT_EQ(list_dual_foreach(lst, &v, item(7), dual_visit), 1);
    EXPECT_EQ(v.calls, (std::vector<std::string>{"7:1", "7:2"}));
    list_free(lst, nullptr);
}

unsigned append_once(void *ctx, void *data) {
    auto *lst = static_cast<list_t *>(ctx);
    if (val(data) == 2)
        list_add(lst, item(3));
    events.push_back("v" + std::to_string(val(data)));
    return 1;
}

TEST_F(ListTest, ForwardWalkVisitsNodesAppendedByTheCallback) {
    list_t *lst = make({1, 2});
    events.clear();
    EXPECT_EQ(list_foreach(lst, lst, append_once), 1);
    EXPECT_EQ(events, (std::vector<std::string>{"v1", "alloc", "v2", "v3"}));
    list_free(lst, nullptr);
}

// ---- Derived lists ------------------------------------------------------------------

unsigned select_odd(void *data, void *ctx) {
    events.push_back("sel" + std::to_string(val(data)) + "/" + std::to_string(val(ctx)));
    return val(data) % 2;
}
void *plus_100(void *data) { return val(data) == 2 ? nullptr : item(val(data) + 100); }

void *copy_item(void *data) {
    auto *copy = static_cast<uintptr_t *>(malloc(sizeof(uintptr_t)));
    *copy = val(data);
    return copy;
}
int copies_left = -1;  // copier fails when this reaches 0
void *copy_item_limited(void *data) { return copies_left-- == 0 ? nullptr : copy_item(data); }
void free_copy(void *copy) {
    events.push_back("d" + std::to_string(*static_cast<uintptr_t *>(copy)));
    free(copy);
}

TEST_F(ListTest, SublistConstructorsSelectMapAndCopy) {
    list_t *src = make({1, 2, 3, 4, 5});
    events.clear();
    list_t *odd = sublist_create(src, select_odd, item(9));
    EXPECT_EQ(events[1], "sel1/9");  // after the header allocation; data first, ctx second
    list_t *even = sublist_create_neg(src, select_odd, item(9));
    list_t *mapped = sublist_adaptor(src, plus_100);
    list_t *all = sublist_copy(odd);  // a sublist of a sublist
    EXPECT_EQ(contents(odd), (V{1, 3, 5}));
    EXPECT_EQ(contents(even), (V{2, 4}));
    EXPECT_EQ(contents(mapped), (V{101, 0, 103, 104, 105}));
    EXPECT_EQ(contents(all), (V{1, 3, 5}));
    for (list_t *sub : {odd, even, mapped, all}) {
        EXPECT_EQ(sub->is_sublist, 1);
        EXPECT_EQ(sub->alloc_fn, &hook_alloc);
        EXPECT_EQ(sub->free_fn, &hook_free);
    }
    EXPECT_EQ(contents(src), (V{1, 2, 3, 4, 5}));
    EXPECT_EQ(src->is_sublist, 0);
    for (list_t *l : {odd, even, mapped, all, src})
        list_free(l, nullptr);

    list_t *empty = make({});
    list_t *empty_copy = sublist_copy(empty);
    list_t *empty_map = sublist_adaptor(empty, nullptr);  // adaptor never called
    EXPECT_TRUE(list_empty(empty_copy) && empty_copy->is_sublist);
    EXPECT_TRUE(list_empty(empty_map) && empty_map->is_sublist);
    for (list_t *l : {empty, empty_copy, empty_map})
        list_free(l, nullptr);
}

TEST_F(ListTest, CopyOwnsCopiesAndReleasesThemOnCopierFailure) {
    list_t *src = make({1, 2, 3});
    list_t *copy = list_copy(src, copy_item, free_copy);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->is_sublist, 0);
    V seen;
    for (list_iter_t i = list_first(copy); !list_end(i); i = list_next(i))
        seen.push_back(*static_cast<uintptr_t *>(list_get(i)));
    EXPECT_EQ(seen, (V{1, 2, 3}));
    list_free(copy, free_copy);

    copies_left = 1;  // the second copy fails
    events.clear();
    EXPECT_EQ(list_copy(src, copy_item_limited, free_copy), nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"alloc", "alloc", "d1", "free", "free"}));
    copies_left = -1;
    list_free(src, nullptr);
}

TEST_F(ListTest, MergeAppendsAndFreesTheSource) {
    list_t *dest = make({9});
    list_t *src = make({1, 2});
    list_node_t *src_first = src->first;
    EXPECT_EQ(list_merge(dest, src), dest);
    EXPECT_EQ(contents(dest), (V{9, 1, 2}));
    EXPECT_NE(dest->last, src_first);  // new nodes, not spliced
    list_t *sub = make_sublist({5});
    EXPECT_EQ(list_merge(sub, make({})), sub);  // empty source into a sublist
    EXPECT_EQ(contents(sub), V{5});
    list_free(sub, nullptr);
    list_free(dest, nullptr);
}

int order_calls = 0;
int by_tens(void *a, void *b) {
    ++order_calls;
    return static_cast<int>(val(a) / 10) - static_cast<int>(val(b) / 10);
}

TEST_F(ListTest, SortIsStableBubbleSortThatKeepsNodes) {
    struct Case {
        std::vector<uintptr_t> in, out;
        int calls;
    };
    const Case cases[] = {
        {{}, {}, 0},
        {{30}, {30}, 0},
        {{30, 10, 20}, {10, 20, 30}, 4},
        {{10, 20, 30, 40}, {10, 20, 30, 40}, 3},
        {{21, 10, 22, 11, 23}, {10, 11, 21, 22, 23}, 12},  // equal tens keep their order
        {{40, 30, 20, 10}, {10, 20, 30, 40}, 12},
    };
    for (const Case &c : cases) {
        list_t *lst = list_new(hook_alloc, hook_free);
        std::vector<list_node_t *> nodes;
        for (uintptr_t v : c.in) {
            list_add(lst, item(v));
            nodes.push_back(lst->last);
        }
        order_calls = 0;
        list_sort(lst, by_tens);
        EXPECT_EQ(contents(lst), c.out);
        EXPECT_EQ(order_calls, c.calls);
        size_t k = 0;
        for (list_node_t *n = lst->first; n != nullptr; n = n->next)
            EXPECT_EQ(n, nodes[k++]) << "nodes must not be relinked";
        list_free(lst, nullptr);
    }
    list_t *sub = make_sublist({20, 10});
    list_sort(sub, by_tens);  // allowed on a sublist
    EXPECT_EQ(contents(sub), (V{10, 20}));
    list_free(sub, nullptr);
}

// ---- Allocation failure at every allocation ------------------------------------------

// Runs op with hook allocation k failing, for k = 0, 1, ... until op succeeds.
// op returns whether it succeeded; afterwards every hook allocation must have
// been released and the source list must hold what it held before.
template <typename Op>
int sweep_hook_failures(const V &source, Op op) {
    for (int k = 0;; ++k) {
        heap = HookHeap{};
        list_t *src = list_new(hook_alloc, hook_free);
        for (uintptr_t v : source)
            list_add(src, item(v));
        heap.fail_at = heap.calls + k;
        bool ok = op(src);
        heap.fail_at = -1;
        list_free(src, nullptr);
        EXPECT_EQ(heap.allocs, heap.frees) << "leak when allocation " << k << " failed";
        if (ok)
            return k;
        if (k > 100) {
            ADD_FAILURE() << "never succeeded";
            return k;
        }
    }
}

TEST_F(ListTest, EveryAllocationFailureIsCleanAndLeavesSourceUnchanged) {
    const V source{1, 2, 3};
    auto unchanged = [&](list_t *src) { return contents(src) == source; };
    struct Case {
        const char *name;
        list_t *(*make)(list_t *);
        int allocations;
    };
    const Case constructors[] = {
        {"sublist_create", [](list_t *s) { return sublist_create(s, select_odd, nullptr); }, 3},
        {"sublist_create_neg", [](list_t *s) { return sublist_create_neg(s, select_odd, nullptr); }, 2},
        {"sublist_adaptor", [](list_t *s) { return sublist_adaptor(s, plus_100); }, 4},
        {"sublist_copy", [](list_t *s) { return sublist_copy(s); }, 4},
    };
    for (const Case &c : constructors) {
        SCOPED_TRACE(c.name);
        int k = sweep_hook_failures(source, [&](list_t *src) {
            list_t *made = c.make(src);
            EXPECT_TRUE(unchanged(src));
            list_free(made, nullptr);
            return made != nullptr;
        });
        EXPECT_EQ(k, c.allocations);
    }
    // list_copy: each copy is released exactly once, also the one whose node failed.
    int k = sweep_hook_failures(source, [&](list_t *src) {
        krc_test::AllocScope scope;  // the copies come from malloc
        list_t *made = list_copy(src, copy_item, free_copy);
        EXPECT_TRUE(unchanged(src));
        list_free(made, free_copy);
        EXPECT_EQ(scope.live(), 0);
        return made != nullptr;
    });
    EXPECT_EQ(k, 4);
    // list_add / list_insert / list_new.
    k = sweep_hook_failures(source, [&](list_t *src) {
        bool ok = list_add(src, item(4)) != nullptr;
        if (ok)
            list_remove_node(src, src->last);
        EXPECT_TRUE(unchanged(src));
        ok = ok && list_insert(src, item(0)) != nullptr;
        if (ok)
            list_remove_node(src, src->first);
        EXPECT_TRUE(unchanged(src));
        list_t *fresh = list_new(hook_alloc, hook_free);
        list_free(fresh, nullptr);
        return ok && fresh != nullptr;
    });
    EXPECT_EQ(k, 3);
}

TEST_F(ListTest, MergeFailureUndoesNothing) {
    list_t *dest = make({9});
    list_t *src = make({1, 2, 3});
    heap.fail_at = heap.calls + 2;  // the third append fails
    EXPECT_EQ(list_merge(dest, src), nullptr);
    heap.fail_at = -1;
    EXPECT_EQ(contents(dest), (V{9, 1, 2}));
    EXPECT_EQ(contents(src), (V{1, 2, 3}));
    list_free(src, nullptr);
    list_free(dest, nullptr);
}

TEST_F(ListTest, NewReturnsNullWhenTheHookFails) {
    heap.fail_at = 0;
    EXPECT_EQ(list_new(hook_alloc, hook_free), nullptr);
    EXPECT_EQ(heap.allocs, 0);
}

// ---- Preconditions ------------------------------------------------------------------

void noop_destructor(void *) {}

TEST(ListDeathTest, EveryCheckReportsItsExpressionFunctionAndFile) {
    list_t *lst = list_new(nullptr, nullptr);
    list_add(lst, item(1));
    list_t *sub = sublist_copy(lst);
    list_t *empty = list_new(nullptr, nullptr);
    const char *file = "src/llist.cpp";
    EXPECT_KRC_ASSERT(list_clear(nullptr, nullptr), file, "list_clear", "lst != NULL");
    EXPECT_KRC_ASSERT(list_add(nullptr, item(1)), file, "list_add", "lst != NULL");
    EXPECT_KRC_ASSERT(list_add(sub, item(1)), file, "list_add", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_insert(nullptr, item(1)), file, "list_insert", "lst != NULL");
    EXPECT_KRC_ASSERT(list_insert(sub, item(1)), file, "list_insert", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_remove_node(nullptr, lst->first), file, "list_remove_node", "lst != NULL");
    EXPECT_KRC_ASSERT(list_remove_node(lst, nullptr), file, "list_remove_node", "node != NULL");
    EXPECT_KRC_ASSERT(list_delete(nullptr, lst->first, nullptr), file, "list_delete", "lst != NULL");
    EXPECT_KRC_ASSERT(list_delete(sub, sub->first, nullptr), file, "list_delete", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_delete(sub, nullptr, noop_destructor), file, "list_delete", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_delete(lst, nullptr, nullptr), file, "list_delete", "node != NULL");
    EXPECT_KRC_ASSERT(list_first(nullptr), file, "list_first", "lst != NULL");
    EXPECT_KRC_ASSERT(list_last(nullptr), file, "list_last", "lst != NULL");
    EXPECT_KRC_ASSERT(list_get(list_first(empty)), file, "list_get", "i.node != NULL");
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
    EXPECT_KRC_ASSERT(sublist_create_neg(nullptr, select_odd, nullptr), file, "sublist_create_neg",
                      "lst != NULL");
    EXPECT_KRC_ASSERT(sublist_create_neg(lst, nullptr, nullptr), file, "sublist_create_neg",
                      "include_node != NULL");
    EXPECT_KRC_ASSERT(list_copy(nullptr, copy_item, nullptr), file, "list_copy", "lst != NULL");
    EXPECT_KRC_ASSERT(list_copy(lst, nullptr, nullptr), file, "list_copy", "copier != NULL");
    EXPECT_KRC_ASSERT(list_merge(nullptr, nullptr), file, "list_merge", "src != NULL");
    EXPECT_KRC_ASSERT(list_merge(nullptr, empty), file, "list_merge", "dest != NULL");
    EXPECT_KRC_ASSERT(list_sort(nullptr, by_tens), file, "list_sort", "lst != NULL");
    EXPECT_KRC_ASSERT(list_sort(lst, nullptr), file, "list_sort", "func != NULL");
    list_free(sub, nullptr);
    list_free(empty, nullptr);
    list_free(lst, nullptr);
}

TEST(ListDeathTest, MergeIntoSublistFailsInListAdd) {
    list_t *src = list_new(nullptr, nullptr);
    list_add(src, item(1));
    list_t *sub = sublist_copy(src);
    EXPECT_KRC_ASSERT(list_merge(sub, src), "src/llist.cpp", "list_add", "!lst->is_sublist");
    list_free(src, nullptr);
    list_free(sub, nullptr);
}

// ---- Randomised run against std::list ---------------------------------------------

TEST_F(ListTest, RandomOperationsMatchStdList) {
    const unsigned seed = 20261206;
    std::printf("random seed %u\n", seed);
    std::mt19937 rng(seed);
    list_t *lst = list_new(hook_alloc, hook_free);
    std::list<uintptr_t> model;
    for (int step = 0; step < 4000; ++step) {
        uintptr_t v = rng() % 50;
        switch (rng() % 6) {
        case 0:
            list_add(lst, item(v));
            model.push_back(v);
            break;
        case 1:
            list_insert(lst, item(v));
            model.push_front(v);
            break;
        case 2:
        case 3:
            if (list_node_t *n = list_find_data(lst, item(v))) {
                list_node_t *next = n->next;
                EXPECT_EQ((step % 2) ? list_remove_node(lst, n) : list_delete(lst, n, nullptr), next);
                model.erase(std::find(model.begin(), model.end(), v));
            }
            break;
        case 4:
            if (!model.empty()) {
                uint32_t at = rng() % model.size();
                EXPECT_EQ(val(list_at(lst, at)), *std::next(model.begin(), at));
            }
            break;
        default:
            if (rng() % 20 == 0) {
                list_sort(lst, by_tens);
                model.sort([](uintptr_t a, uintptr_t b) { return a / 10 < b / 10; });
            }
        }
        ASSERT_EQ(contents(lst), V(model.begin(), model.end())) << "seed " << seed << " step " << step;
        ASSERT_EQ(list_size(lst), model.size());
    }
    list_free(lst, nullptr);
}

}  // namespace
