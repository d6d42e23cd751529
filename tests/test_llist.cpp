// Generic list: behaviour per operation family, every assertion, allocation
// failure at every hook call, and a randomised run against std::list.
#include <libkrc/llist.h>

#include <algorithm>
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

using V = std::vector<uintptr_t>;
using S = std::vector<std::string>;

// Hook calls and callbacks append to one event log, so orders can be checked.
S events;
struct HookHeap {
    long allocs = 0, frees = 0, calls = 0;
    long fail_at = -1;  // index of the allocation call that fails
} heap;

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

// Checks the header's invariants, walking both ways; returns the data in order.
V contents(const list_t *lst) {
    V out, back;
    const list_node_t *prev = nullptr;
    for (const list_node_t *n = lst->first; n != nullptr; prev = n, n = n->next) {
        EXPECT_EQ(n->prev, prev);
        out.push_back(val(n->data));
    }
    EXPECT_EQ(lst->last, prev);
    for (const list_node_t *n = lst->last; n != nullptr; n = n->prev)
        back.insert(back.begin(), val(n->data));
    EXPECT_EQ(out, back);
    return out;
}

list_t *make(const V &values) {
    list_t *lst = list_new(hook_alloc, hook_free);
    for (uintptr_t v : values)
        EXPECT_NE(list_add(lst, item(v)), nullptr);
    return lst;
}

list_t *make_sublist(const V &values) {
    list_t *src = make(values);
    list_t *sub = sublist_copy(src);
    list_free(src, nullptr);
    return sub;
}

class ListTest : public ::testing::Test {
protected:
    void SetUp() override {
        heap = HookHeap{};
        events.clear();
        events.reserve(256);  // no log growth inside an AllocScope
    }
    void TearDown() override { EXPECT_EQ(heap.allocs, heap.frees) << "hook allocations leaked"; }
};

// ---- Core -------------------------------------------------------------------

TEST_F(ListTest, NullHooksSelectThePlatformHeapIndependently) {
    krc_test::AllocScope scope;
    list_t *both = list_new(nullptr, nullptr);
    list_add(both, item(1));
    EXPECT_EQ(scope.live(), 2);  // header and node from malloc
    list_t *a = list_new(hook_alloc, nullptr);
    list_t *f = list_new(nullptr, hook_free);
    EXPECT_TRUE(both->alloc_fn == &malloc && both->free_fn == &free && both->is_sublist == 0);
    EXPECT_TRUE(a->alloc_fn == &hook_alloc && a->free_fn == &free);
    EXPECT_TRUE(f->alloc_fn == &malloc && f->free_fn == &hook_free);
    list_free(both, nullptr);
    list_free(a, nullptr);
    list_free(f, nullptr);
    EXPECT_EQ(scope.live(), 0);
    heap.allocs = heap.frees;  // the two mixed lists balance only across hooks
}

TEST_F(ListTest, AddAndInsertLinkAtEitherEnd) {
    list_t *lst = make({});
    list_insert(lst, item(2));
    EXPECT_TRUE(lst->first == lst->last && !lst->first->next && !lst->first->prev);
    list_add(lst, item(3));
    list_insert(lst, item(1));
    list_insert(lst, nullptr);  // null data is an ordinary value
    EXPECT_EQ(contents(lst), (V{0, 1, 2, 3}));
    list_free(lst, nullptr);
}

TEST_F(ListTest, RemoveNodeRelinksAndReturnsSuccessor) {
    const struct {
        V start;
        size_t position;
        V after;
    } cases[] = {{{1}, 0, {}}, {{1, 2, 3}, 0, {2, 3}}, {{1, 2, 3}, 1, {1, 3}}, {{1, 2, 3}, 2, {1, 2}}};
    for (const auto &c : cases) {
        list_t *lst = make(c.start);
        list_node_t *node = lst->first;
        for (size_t k = 0; k < c.position; ++k)
            node = node->next;
        list_node_t *next = node->next;
        events.clear();
        EXPECT_EQ(list_remove_node(lst, node), next);
        EXPECT_EQ(events, S{"free"});
        EXPECT_EQ(contents(lst), c.after);
        list_free(lst, nullptr);
    }
}

TEST_F(ListTest, DestructorsRunBeforeAnyNodeIsReleased) {
    list_t *lst = make({1, 2, 3, 4});
    events.clear();
    EXPECT_EQ(list_delete(lst, lst->first->next, log_destructor), lst->first->next);
    EXPECT_EQ(list_delete(lst, lst->first, nullptr), lst->first);
    list_clear(lst, log_destructor);
    EXPECT_EQ(events, (S{"d2", "free", "free", "d3", "d4", "free", "free"}));
    EXPECT_TRUE(list_empty(lst));
    list_add(lst, item(5));  // usable again, same hooks
    events.clear();
    list_free(lst, log_destructor);
    EXPECT_EQ(events, (S{"d5", "free", "free"}));
    list_free(nullptr, log_destructor);  // no-op
}

TEST_F(ListTest, SublistNeverHandsDataToDestructorButAllowsRemoval) {
    list_t *sub = make_sublist({1, 2, 3});
    EXPECT_EQ(sub->is_sublist, 1);
    EXPECT_EQ(list_remove_node(sub, sub->first), sub->first);
    events.clear();
    list_clear(sub, log_destructor);
    EXPECT_EQ(sub->is_sublist, 1);  // a cleared sublist stays a sublist
    list_free(sub, log_destructor);
    EXPECT_EQ(events, (S{"free", "free", "free"}));
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
    list_clear(lst, nullptr);
    EXPECT_TRUE(list_end(list_first(lst)) && list_end(list_last(lst)));
    list_free(lst, nullptr);
}

// ---- Queries and traversal ------------------------------------------------------

struct Visit {
    S calls;
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
    static_cast<Visit *>(ctx1)->calls.push_back(std::to_string(val(ctx2)) + ":" + std::to_string(val(data)));
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

TEST_F(ListTest, PositionsSearchesAndCounts) {
    list_t *lst = make({1, 2, 0, 2, 3});
    EXPECT_EQ(list_size(lst), 5u);
    EXPECT_EQ(val(list_at(lst, 0)), 1u);
    EXPECT_EQ(val(list_get_item(lst, 4)), 3u);
    EXPECT_EQ(list_find_data(lst, item(2)), lst->first->next);  // nearer to first
    EXPECT_EQ(list_find_data(lst, nullptr), lst->first->next->next);
    EXPECT_EQ(list_find_data(lst, item(9)), nullptr);
    EXPECT_EQ(list_find(lst, item(2), equals_key), lst->first->next);
    EXPECT_EQ(cmp_calls, 2);
    EXPECT_EQ(list_find(lst, item(9), equals_key), nullptr);
    EXPECT_EQ(cmp_calls, 7);
    int calls = 0;
    EXPECT_EQ(list_count(lst, is_odd, &calls), 2u);
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(list_count(lst, nullptr, nullptr), 5u);
    list_clear(lst, nullptr);
    EXPECT_EQ(list_find(lst, item(1), equals_key), nullptr);
    EXPECT_EQ(cmp_calls, 7);
    EXPECT_EQ(list_size(lst), 0u);
    list_free(lst, nullptr);
}

TEST_F(ListTest, VisitorsStopAtTheFirstZero) {
    auto fwd = [](list_t *l, Visit *v) { return list_foreach(l, v, visit); };
    auto rev = [](list_t *l, Visit *v) { return list_foreach_reversed(l, v, visit); };
    auto sep = [](list_t *l, Visit *v) { return list_foreach_sep(l, v, visit, separator); };
    const struct {
        V items;
        uintptr_t stop_at;
        int sep_stop_at;
        int (*run)(list_t *, Visit *);
        int result;
        S calls;
    } cases[] = {
        {{1, 2, 3}, 0, 0, fwd, 1, {"f1", "f2", "f3"}},
        {{1, 2, 3}, 2, 0, fwd, 0, {"f1", "f2"}},
        {{}, 0, 0, fwd, 1, {}},
        {{1, 2, 3}, 2, 0, rev, 0, {"f3", "f2"}},
        {{1, 2, 3}, 0, 0, sep, 1, {"f1", "sep", "f2", "sep", "f3"}},
        {{1}, 0, 0, sep, 1, {"f1"}},
        {{}, 0, 0, sep, 1, {}},
        {{1, 2, 3}, 0, 1, sep, 0, {"f1", "sep"}},
        {{1, 2, 3}, 2, 0, sep, 0, {"f1", "sep", "f2"}},
    };
    for (const auto &c : cases) {
        list_t *lst = make(c.items);
        Visit v;
        v.stop_at = c.stop_at;
        v.sep_stop_at = c.sep_stop_at;
        EXPECT_EQ(c.run(lst, &v), c.result);
        EXPECT_EQ(v.calls, c.calls);
        list_free(lst, nullptr);
    }
    list_t *lst = make({1, 2});
    Visit v;
    EXPECT_EQ(list_dual_foreach(lst, &v, item(7), dual_visit), 1);
    EXPECT_EQ(v.calls, (S{"7:1", "7:2"}));
    list_free(lst, nullptr);
}

unsigned append_at_2(void *ctx, void *data) {
    if (val(data) == 2)
        list_add(static_cast<list_t *>(ctx), item(3));
    events.push_back("v" + std::to_string(val(data)));
    return 1;
}

TEST_F(ListTest, ForwardWalkVisitsNodesAppendedByTheCallback) {
    list_t *lst = make({1, 2});
    events.clear();
    EXPECT_EQ(list_foreach(lst, lst, append_at_2), 1);
    EXPECT_EQ(events, (S{"v1", "alloc", "v2", "v3"}));
    list_free(lst, nullptr);
}

// ---- Derived lists and sorting ------------------------------------------------------

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
int copies_left = -1;  // the copier fails when this reaches 0
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
    list_t *again = sublist_copy(odd);  // a sublist of a sublist
    EXPECT_EQ(contents(odd), (V{1, 3, 5}));
    EXPECT_EQ(contents(even), (V{2, 4}));
    EXPECT_EQ(contents(mapped), (V{101, 0, 103, 104, 105}));
    EXPECT_EQ(contents(again), (V{1, 3, 5}));
    for (list_t *sub : {odd, even, mapped, again})
        EXPECT_TRUE(sub->is_sublist == 1 && sub->alloc_fn == &hook_alloc && sub->free_fn == &hook_free);
    EXPECT_EQ(contents(src), (V{1, 2, 3, 4, 5}));
    list_t *empty = make({});
    list_t *empty_map = sublist_adaptor(empty, nullptr);  // the adaptor is never called
    EXPECT_TRUE(list_empty(empty_map) && empty_map->is_sublist);
    for (list_t *l : {odd, even, mapped, again, src, empty, empty_map})
        list_free(l, nullptr);
}

TEST_F(ListTest, CopyOwnsCopiesAndReleasesThemOnCopierFailure) {
    list_t *src = make({1, 2, 3});
    list_t *copy = list_copy(src, copy_item, free_copy);
    EXPECT_EQ(copy->is_sublist, 0);
    events.clear();
    list_free(copy, free_copy);
    EXPECT_EQ(events, (S{"d1", "d2", "d3", "free", "free", "free", "free"}));
    copies_left = 1;  // the second copy fails
    events.clear();
    EXPECT_EQ(list_copy(src, copy_item_limited, free_copy), nullptr);
    EXPECT_EQ(events, (S{"alloc", "alloc", "d1", "free", "free"}));
    copies_left = -1;
    list_free(src, nullptr);
}

TEST_F(ListTest, MergeAppendsNewNodesAndFreesTheSource) {
    list_t *dest = make({9});
    list_t *src = make({1, 2});
    list_node_t *src_first = src->first;
    EXPECT_EQ(list_merge(dest, src), dest);
    EXPECT_EQ(contents(dest), (V{9, 1, 2}));
    EXPECT_NE(dest->last->prev, src_first);  // new nodes, not spliced
    list_t *sub = make_sublist({5});
    EXPECT_EQ(list_merge(sub, make({})), sub);  // an empty source into a sublist
    EXPECT_EQ(contents(sub), V{5});
    list_free(sub, nullptr);
    // A failed append undoes nothing: dest keeps what it got, src stays whole.
    src = make({1, 2, 3});
    heap.fail_at = heap.calls + 2;
    EXPECT_EQ(list_merge(dest, src), nullptr);
    EXPECT_EQ(contents(dest), (V{9, 1, 2, 1, 2}));
    EXPECT_EQ(contents(src), (V{1, 2, 3}));
    list_free(src, nullptr);
    list_free(dest, nullptr);
}

int order_calls = 0;
int by_tens(void *a, void *b) {
    ++order_calls;
    return static_cast<int>(val(a) / 10) - static_cast<int>(val(b) / 10);
}

TEST_F(ListTest, SortIsAStableBubbleSortThatKeepsNodesInPlace) {
    const struct {
        V in, out;
        int calls;
    } cases[] = {
        {{}, {}, 0},
        {{30}, {30}, 0},
        {{30, 10, 20}, {10, 20, 30}, 4},
        {{10, 20, 30, 40}, {10, 20, 30, 40}, 3},           // sorted: one pass, n - 1 calls
        {{21, 10, 22, 11, 23}, {10, 11, 21, 22, 23}, 12},  // equal tens keep their order
        {{40, 30, 20, 10}, {10, 20, 30, 40}, 12},
    };
    for (const auto &c : cases) {
        list_t *lst = make(c.in);
        std::vector<list_node_t *> nodes;
        for (list_node_t *n = lst->first; n != nullptr; n = n->next)
            nodes.push_back(n);
        order_calls = 0;
        list_sort(lst, by_tens);
        EXPECT_EQ(contents(lst), c.out);
        EXPECT_EQ(order_calls, c.calls);
        for (list_node_t *n = lst->first; n != nullptr; n = n->next, nodes.erase(nodes.begin()))
            EXPECT_EQ(n, nodes.front()) << "nodes must not be relinked";
        list_free(lst, nullptr);
    }
}

// ---- Allocation failure at every hook call ----------------------------------------

// Runs op on a fresh {1, 2, 3} with hook allocation k failing, k = 0, 1, ...
// until op succeeds; every hook allocation must be released and the source
// left as it was.  Returns the number of failing runs.
template <typename Op>
int sweep_hook_failures(Op op) {
    for (int k = 0; k < 100; ++k) {
        heap = HookHeap{};
        list_t *src = make({1, 2, 3});
        heap.fail_at = heap.calls + k;
        bool ok = op(src);
        heap.fail_at = -1;
        EXPECT_EQ(contents(src), (V{1, 2, 3})) << "allocation " << k;
        list_free(src, nullptr);
        EXPECT_EQ(heap.allocs, heap.frees) << "leak when allocation " << k << " failed";
        if (ok)
            return k;
    }
    ADD_FAILURE() << "never succeeded";
    return -1;
}

TEST_F(ListTest, EveryAllocationFailureIsCleanAndLeavesTheSourceUnchanged) {
    const struct {
        list_t *(*make)(list_t *);
        int allocations;
    } constructors[] = {
        {[](list_t *s) { return sublist_create(s, select_odd, nullptr); }, 3},
        {[](list_t *s) { return sublist_create_neg(s, select_odd, nullptr); }, 2},
        {[](list_t *s) { return sublist_adaptor(s, plus_100); }, 4},
        {[](list_t *s) { return sublist_copy(s); }, 4},
        {[](list_t *s) { return list_new(s->alloc_fn, s->free_fn); }, 1},
    };
    for (const auto &c : constructors) {
        EXPECT_EQ(sweep_hook_failures([&](list_t *src) {
                      list_t *made = c.make(src);
                      list_free(made, nullptr);
                      return made != nullptr;
                  }),
                  c.allocations);
    }
    // Every copy is released exactly once, the one whose node failed included.
    EXPECT_EQ(sweep_hook_failures([](list_t *src) {
                  krc_test::AllocScope scope;  // the copies come from malloc
                  list_t *made = list_copy(src, copy_item, free_copy);
                  list_free(made, free_copy);
                  EXPECT_EQ(scope.live(), 0);
                  return made != nullptr;
              }),
              4);
    EXPECT_EQ(sweep_hook_failures([](list_t *src) {
                  bool ok = list_add(src, item(4)) && list_remove_node(src, src->last) == nullptr;
                  return ok && list_insert(src, item(0)) && list_remove_node(src, src->first);
              }),
              2);
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
    EXPECT_KRC_ASSERT(sublist_create_neg(nullptr, select_odd, nullptr), file, "sublist_create_neg", "lst != NULL");
    EXPECT_KRC_ASSERT(sublist_create_neg(lst, nullptr, nullptr), file, "sublist_create_neg", "include_node != NULL");
    EXPECT_KRC_ASSERT(list_copy(nullptr, copy_item, nullptr), file, "list_copy", "lst != NULL");
    EXPECT_KRC_ASSERT(list_copy(lst, nullptr, nullptr), file, "list_copy", "copier != NULL");
    EXPECT_KRC_ASSERT(list_merge(nullptr, nullptr), file, "list_merge", "src != NULL");
    EXPECT_KRC_ASSERT(list_merge(nullptr, empty), file, "list_merge", "dest != NULL");
    EXPECT_KRC_ASSERT(list_merge(sub, lst), file, "list_add", "!lst->is_sublist");
    EXPECT_KRC_ASSERT(list_sort(nullptr, by_tens), file, "list_sort", "lst != NULL");
    EXPECT_KRC_ASSERT(list_sort(lst, nullptr), file, "list_sort", "func != NULL");
    for (list_t *l : {sub, empty, lst})
        list_free(l, nullptr);
}

// ---- Randomised run against std::list ---------------------------------------------

TEST_F(ListTest, RandomOperationsMatchStdList) {
    const unsigned seed = 20261206;
    std::printf("random seed %u\n", seed);
    std::mt19937 rng(seed);
    list_t *lst = make({});
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
    }
    list_free(lst, nullptr);
}

}  // namespace
