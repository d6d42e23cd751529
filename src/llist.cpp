// SPDX-License-Identifier: MIT
// Generic doubly linked list: core, queries and derived lists.
//
// Derived lists and traversals are built on the core operations below, so the
// hook, ownership and sublist rules live in one place: every node comes from
// list_add/list_insert and goes back through list_remove_node/list_clear.
#include <libkrc/llist.h>

#include <cstdlib>

#include "internal/check.h"

namespace {

list_node_t *new_node(list_t *lst, void *data) {
    auto *node = static_cast<list_node_t *>(lst->alloc_fn(sizeof(list_node_t)));
    if (node != nullptr)
        node->data = data;
    return node;
}

// A new, empty list with the hooks of `src`.
list_t *new_list_like(const list_t *src) { return list_new(src->alloc_fn, src->free_fn); }

// Appends map(data) (data itself for a null map) of the items that `select`
// accepts to a new list with the source's hooks, then marks it a sublist.
// An item is accepted when select is null, or when select(data, ctx) is
// nonzero exactly if `want` is true.  Null (and nothing left behind) when an
// allocation fails.  One plain function serves all four constructors, so the
// walk is in the library once.
list_t *build_sublist(list_t *lst, list_pred_fn select, void *ctx, bool want, list_map_fn map) {
    list_t *out = new_list_like(lst);
    if (out == nullptr)
        return nullptr;
    for (list_iter_t it = list_first(lst); !list_end(it); it = list_next(it)) {
        void *data = list_get(it);
        if (select != nullptr && (select(data, ctx) != 0) != want)
            continue;
        if (list_add(out, map != nullptr ? map(data) : data) == nullptr) {
            list_free(out, nullptr);
            return nullptr;
        }
    }
    out->is_sublist = 1;
    return out;
}

}  // namespace

// ---- Core -------------------------------------------------------------------

extern "C" list_t *list_new(list_alloc_fn alloc_fn, list_free_fn free_fn) {
    if (alloc_fn == nullptr)
        alloc_fn = malloc;
    if (free_fn == nullptr)
        free_fn = free;
    auto *lst = static_cast<list_t *>(alloc_fn(sizeof(list_t)));
    if (lst == nullptr)
        return nullptr;
    lst->first = nullptr;
    lst->last = nullptr;
    lst->alloc_fn = alloc_fn;
    lst->free_fn = free_fn;
    lst->is_sublist = 0;
    return lst;
}

extern "C" void list_free(list_t *lst, list_destructor_fn destructor) {
    if (lst == nullptr)
        return;
    list_clear(lst, destructor);
    lst->free_fn(lst);
}

extern "C" void list_clear(list_t *lst, list_destructor_fn destructor) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    if (!lst->is_sublist && destructor != nullptr) {
        for (list_node_t *n = lst->first; n != nullptr; n = n->next)
            destructor(n->data);
    }
    for (list_node_t *n = lst->first; n != nullptr;) {
        list_node_t *next = n->next;
        lst->free_fn(n);
        n = next;
    }
    lst->first = nullptr;
    lst->last = nullptr;
}

extern "C" list_t *list_add(list_t *lst, void *data) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK(!lst->is_sublist);
    list_node_t *node = new_node(lst, data);
    if (node == nullptr)
        return nullptr;
    node->next = nullptr;
    node->prev = lst->last;
    if (lst->last == nullptr)
        lst->first = node;
    else
        lst->last->next = node;
    lst->last = node;
    return lst;
}

extern "C" list_t *list_insert(list_t *lst, void *data) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK(!lst->is_sublist);
    list_node_t *node = new_node(lst, data);
    if (node == nullptr)
        return nullptr;
    node->next = lst->first;
    node->prev = nullptr;
    if (lst->first != nullptr)
        lst->first->prev = node;
    else
        lst->last = node;
    lst->first = node;
    return lst;
}

extern "C" list_node_t *list_remove_node(list_t *lst, list_node_t *node) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK_TEXT(node != nullptr, "node != NULL");
    list_node_t *next = node->next;
    list_node_t *prev = node->prev;
    if (lst->last == node)
        lst->last = prev;
    if (next != nullptr)
        next->prev = prev;
    if (prev != nullptr)
        prev->next = next;
    else
        lst->first = next;
    lst->free_fn(node);
    return next;
}

extern "C" list_node_t *list_delete(list_t *lst, list_node_t *node, list_destructor_fn destructor) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK(!lst->is_sublist);
    KRC_CHECK_TEXT(node != nullptr, "node != NULL");
    if (destructor != nullptr)
        destructor(node->data);
    return list_remove_node(lst, node);
}

extern "C" list_iter_t list_first(list_t *lst) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    return list_iter_t{lst->first};
}

extern "C" list_iter_t list_last(list_t *lst) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    return list_iter_t{lst->last};
}

extern "C" int list_end(list_iter_t i) { return i.node == nullptr; }

extern "C" void *list_get(list_iter_t i) {
    KRC_CHECK_TEXT(i.node != nullptr, "i.node != NULL");
    return i.node->data;
}

extern "C" list_iter_t list_next(list_iter_t i) { return list_iter_t{i.node->next}; }

extern "C" list_iter_t list_prev(list_iter_t i) { return list_iter_t{i.node->prev}; }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" int list_empty(list_t *lst) { return lst->first == nullptr; }

// ---- Queries and traversal ----------------------------------------------------

namespace {

list_node_t *node_at(list_t *lst, uint32_t position) {
    list_node_t *n = lst->first;
    for (uint32_t k = 0; k < position; ++k)
        n = n->next;
    return n;
}

}  // namespace

extern "C" uint32_t list_size(list_t *lst) {
    uint32_t n = 0;
    for (list_node_t *p = lst->first; p != nullptr; p = p->next)
        ++n;
    return n;
}

extern "C" void *list_at(list_t *lst, uint32_t idx) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK(idx < list_size(lst));
    return node_at(lst, idx)->data;
}

extern "C" void *list_get_item(list_t *lst, uint32_t index) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK(index < list_size(lst));
    return node_at(lst, index)->data;
}

// cppcheck-suppress constParameter ; the exported signature takes void *
// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" list_node_t *list_find_data(list_t *lst, void *data) {
    KRC_CHECK(lst);
    for (list_node_t *n = lst->first; n != nullptr; n = n->next) {
        if (n->data == data)
            return n;
    }
    return nullptr;
}

extern "C" list_node_t *list_find(list_t *lst, void *key, list_cmp_fn cmp) {
    KRC_CHECK(lst);
    KRC_CHECK(cmp);
    for (list_node_t *n = lst->first; n != nullptr; n = n->next) {
        if (cmp(key, n->data) == 0)
            return n;
    }
    return nullptr;
}

extern "C" uint32_t list_count(list_t *lst, list_pred_fn pred, void *ctx) {
    uint32_t count = 0;
    for (list_node_t *n = lst->first; n != nullptr; n = n->next) {
        if (pred == nullptr || pred(n->data, ctx) != 0)
            ++count;
    }
    return count;
}

// In every walk the link to the next node is read only after the callback for
// the current node has returned, so a callback may append to the list.

extern "C" int list_foreach(list_t *lst, void *ctx, list_visit_fn f) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK_TEXT(f != nullptr, "f != NULL");
    for (list_node_t *n = lst->first; n != nullptr; n = n->next) {
        if (f(ctx, n->data) == 0)
            return 0;
    }
    return 1;
}

extern "C" int list_dual_foreach(list_t *lst, void *ctx1, void *ctx2, list_dual_visit_fn f) {
    for (list_node_t *n = lst->first; n != nullptr; n = n->next) {
        if (f(ctx1, ctx2, n->data) == 0)
            return 0;
    }
    return 1;
}

extern "C" int list_foreach_reversed(list_t *lst, void *ctx, list_visit_fn f) {
    for (list_node_t *n = lst->last; n != nullptr; n = n->prev) {
        if (f(ctx, n->data) == 0)
            return 0;
    }
    return 1;
}

extern "C" int list_foreach_sep(list_t *lst, void *ctx, list_visit_fn f, list_sep_fn sep) {
    for (list_node_t *n = lst->first; n != nullptr;) {
        if (f(ctx, n->data) == 0)
            return 0;
        n = n->next;
        if (n != nullptr && sep(ctx) == 0)
            return 0;
    }
    return 1;
}

// ---- Derived lists and reordering ---------------------------------------------

extern "C" list_t *sublist_create(list_t *lst, list_pred_fn include_node, void *ctx) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK_TEXT(include_node != nullptr, "include_node != NULL");
    return build_sublist(lst, include_node, ctx, true, nullptr);
}

extern "C" list_t *sublist_create_neg(list_t *lst, list_pred_fn include_node, void *ctx) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK_TEXT(include_node != nullptr, "include_node != NULL");
    return build_sublist(lst, include_node, ctx, false, nullptr);
}

extern "C" list_t *sublist_adaptor(list_t *lst, list_map_fn adaptor) {
    return build_sublist(lst, nullptr, nullptr, true, adaptor);
}

extern "C" list_t *sublist_copy(list_t *lst) {
    return build_sublist(lst, nullptr, nullptr, true, nullptr);
}

extern "C" list_t *list_copy(list_t *lst, list_map_fn copier, list_destructor_fn destructor) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK_TEXT(copier != nullptr, "copier != NULL");
    list_t *out = new_list_like(lst);
    if (out == nullptr)
        return nullptr;
    for (list_iter_t it = list_first(lst); !list_end(it); it = list_next(it)) {
        void *copy = copier(list_get(it));
        if (copy == nullptr) {
            list_free(out, destructor);
            return nullptr;
        }
        if (list_add(out, copy) == nullptr) {
            list_free(out, destructor);
            // The copy that found no node is released too, after the others.
            if (destructor != nullptr)
                destructor(copy);
            return nullptr;
        }
    }
    return out;
}

extern "C" list_t *list_merge(list_t *dest, list_t *src) {
    KRC_CHECK_TEXT(src != nullptr, "src != NULL");
    KRC_CHECK_TEXT(dest != nullptr, "dest != NULL");
    for (list_iter_t it = list_first(src); !list_end(it); it = list_next(it)) {
        if (list_add(dest, list_get(it)) == nullptr)
            return nullptr;
    }
    list_free(src, nullptr);
    return dest;
}

extern "C" void list_sort(list_t *lst, list_order_fn func) {
    KRC_CHECK_TEXT(lst != nullptr, "lst != NULL");
    KRC_CHECK_TEXT(func != nullptr, "func != NULL");
    if (lst->first == nullptr || lst->first->next == nullptr)
        return;
    bool exchanged;
    do {
        exchanged = false;
        for (list_node_t *n = lst->first; n->next != nullptr; n = n->next) {
            if (func(n->data, n->next->data) > 0) {
                void *tmp = n->data;
                n->data = n->next->data;
                n->next->data = tmp;
                exchanged = true;
            }
        }
    } while (exchanged);
}
