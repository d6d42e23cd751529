/* Generic doubly linked list of untyped data pointers.
 *
 * The list owns its header and its nodes, never what the data pointers point
 * to: stored data is handed to a caller-supplied destructor only where an
 * operation takes one, and never for a sublist.  Header and nodes come from
 * the list's own allocation hook, one structure per call, and go back through
 * its own release hook; both are fixed at creation (null selects malloc and
 * free, each independently) and are taken over by every list derived from it.
 * No element count is kept: list_size walks the list.
 *
 * A sublist (is_sublist == 1) shares data pointers that belong to someone
 * else.  list_add, list_insert and list_delete refuse it; list_clear and
 * list_free never pass its data to a destructor.  Everything else works on it
 * as on an ordinary list.
 *
 * Preconditions are checked with assertions that stay compiled in; a
 * violated one prints the failed expression and aborts.  Operations noted as
 * "no checks" trust their arguments.  Nothing here takes a lock.
 */
#ifndef LIBKRC_LLIST_H
#define LIBKRC_LLIST_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Allocation hook: returns a block of at least `size` bytes, or null. */
typedef void *(*list_alloc_fn)(size_t size);
/* Release hook for blocks of the matching allocation hook. */
typedef void (*list_free_fn)(void *block);
/* Receives a stored data pointer that the list hands back to its owner. */
typedef void (*list_destructor_fn)(void *data);

/* One stored data pointer.
 * Invariants: the first node's prev and the last node's next are null. */
typedef struct list_node {
    struct list_node *next; /* following node, null on the last */
    struct list_node *prev; /* preceding node, null on the first */
    void *data;             /* as the caller gave it; null is a valid value */
} list_node_t;

/* The list header.
 * Invariants: first and last are both null (empty) or both non-null;
 * following next from first visits every node once and ends at last, and
 * following prev from last visits the same nodes in reverse. */
typedef struct list {
    list_node_t *first;
    list_node_t *last;
    list_alloc_fn alloc_fn; /* never null once created */
    list_free_fn free_fn;   /* never null once created */
    uint8_t is_sublist;     /* 0 or 1; set only by the sublist constructors */
} list_t;

/* A position in a list, passed by value.  A null node is the end position,
 * reached by stepping past either end. */
typedef struct list_iter {
    list_node_t *node;
} list_iter_t;

#ifdef __cplusplus
static_assert(sizeof(void *) != 4 || sizeof(list_t) == 20, "list_t is 20 bytes on 32-bit targets");
static_assert(sizeof(void *) != 4 || offsetof(list_t, is_sublist) == 16, "is_sublist at offset 16");
static_assert(sizeof(void *) != 4 || sizeof(list_node_t) == 12, "list_node_t is 12 bytes on 32-bit targets");
static_assert(sizeof(list_iter_t) == sizeof(void *), "list_iter_t is one pointer");
#endif

/* Callback shapes.  ctx, ctx1, ctx2 and key are passed through unchanged. */
typedef int (*list_cmp_fn)(void *key, void *data);              /* 0: data matches key */
typedef unsigned int (*list_pred_fn)(void *data, void *ctx);    /* nonzero selects */
typedef unsigned int (*list_visit_fn)(void *ctx, void *data);   /* 0 stops the walk */
typedef unsigned int (*list_dual_visit_fn)(void *ctx1, void *ctx2, void *data); /* 0 stops */
typedef unsigned int (*list_sep_fn)(void *ctx);                 /* 0 stops the walk */
typedef void *(*list_map_fn)(void *data);                       /* adaptor, copier */
typedef int (*list_order_fn)(void *a, void *b);                 /* > 0: a belongs after b */

/* ---- Core ------------------------------------------------------------- */

/* Creates an empty ordinary list.  A null alloc_fn selects malloc, a null
 * free_fn selects free, each independently.  One call of the allocation hook.
 * No checks.  Returns null when the hook fails; nothing is then allocated. */
LIBKRC_API list_t *list_new(list_alloc_fn alloc_fn, list_free_fn free_fn);

/* Ends a list: list_clear(lst, destructor), then releases the header through
 * the list's free_fn.  A null lst does nothing.  O(n).  lst must not be used
 * afterwards. */
LIBKRC_API void list_free(list_t *lst, list_destructor_fn destructor);

/* Empties the list.  Unless it is a sublist, a non-null destructor first
 * receives every data pointer, first to last, before any node is released;
 * then every node is released through free_fn, first to last.  Hooks and
 * is_sublist stay.  Asserts lst != NULL.  O(n). */
LIBKRC_API void list_clear(list_t *lst, list_destructor_fn destructor);

/* Appends data.  Asserts lst != NULL, then !lst->is_sublist.  O(1), one
 * allocation.  Returns lst, or null with the list unchanged when the hook
 * fails. */
LIBKRC_API list_t *list_add(list_t *lst, void *data);

/* Prepends data.  Same checks, cost and failure rule as list_add. */
LIBKRC_API list_t *list_insert(list_t *lst, void *data);

/* Unlinks node (which must belong to lst) and releases it through free_fn;
 * its data pointer is not touched.  Allowed on a sublist.  Asserts
 * lst != NULL, node != NULL.  O(1).  Returns the node that followed it, or
 * null if it was the last. */
LIBKRC_API list_node_t *list_remove_node(list_t *lst, list_node_t *node);

/* Hands node's data to destructor (if non-null), then removes the node as
 * list_remove_node does.  Asserts lst != NULL, !lst->is_sublist,
 * node != NULL, all before anything happens.  O(1).  Returns the following
 * node, or null. */
LIBKRC_API list_node_t *list_delete(list_t *lst, list_node_t *node, list_destructor_fn destructor);

/* Iterator on the first (last) node; the end position when empty.
 * Asserts lst != NULL.  O(1). */
LIBKRC_API list_iter_t list_first(list_t *lst);
LIBKRC_API list_iter_t list_last(list_t *lst);

/* 1 if i is the end position, else 0.  No checks.  O(1). */
LIBKRC_API int list_end(list_iter_t i);

/* The data pointer at i.  Asserts i.node != NULL.  O(1). */
LIBKRC_API void *list_get(list_iter_t i);

/* The next (previous) position; past either end is the end position.
 * No checks: i must not be the end position (test list_end first).  O(1). */
LIBKRC_API list_iter_t list_next(list_iter_t i);
LIBKRC_API list_iter_t list_prev(list_iter_t i);

/* 1 if the list has no node, else 0.  No checks.  O(1). */
LIBKRC_API int list_empty(list_t *lst);

/* ---- Queries and traversal (read-only, never allocate) ------------------ */

/* Number of nodes, by walking the whole list.  No checks.  O(n). */
LIBKRC_API uint32_t list_size(list_t *lst);

/* Data pointer at position idx (0 is the first).  Asserts lst != NULL, then
 * idx < list_size(lst).  Walks the list once for the range check and once
 * more up to idx. */
LIBKRC_API void *list_at(list_t *lst, uint32_t idx);

/* As list_at; asserts lst != NULL, then index < list_size(lst). */
LIBKRC_API void *list_get_item(list_t *lst, uint32_t index);

/* The first node, from first to last, whose data pointer is data (by
 * identity; null finds the first null), or null.  Asserts lst.  O(n). */
LIBKRC_API list_node_t *list_find_data(list_t *lst, void *data);

/* The first node for which cmp(key, data) returns 0, or null; cmp is called
 * once per node up to and including the match.  Asserts lst, then cmp.
 * O(n). */
LIBKRC_API list_node_t *list_find(list_t *lst, void *key, list_cmp_fn cmp);

/* Number of nodes for which pred(data, ctx) is nonzero, calling pred once
 * per node first to last without stopping early; every node when pred is
 * null.  No checks.  O(n). */
LIBKRC_API uint32_t list_count(list_t *lst, list_pred_fn pred, void *ctx);

/* Calls f(ctx, data) first to last.  The next link is read after f returns,
 * so f may append but must not remove or free the node it is given.  Returns
 * 0 as soon as a call returns 0, else 1 (also for an empty list).  Asserts
 * lst != NULL, then f != NULL.  O(n). */
LIBKRC_API int list_foreach(list_t *lst, void *ctx, list_visit_fn f);

/* As list_foreach with f(ctx1, ctx2, data).  No checks. */
LIBKRC_API int list_dual_foreach(list_t *lst, void *ctx1, void *ctx2, list_dual_visit_fn f);

/* As list_foreach, from the last node to the first.  No checks. */
LIBKRC_API int list_foreach_reversed(list_t *lst, void *ctx, list_visit_fn f);

/* As list_foreach, with sep(ctx) called between two items only (never
 * before the first or after the last).  The first call of either callback
 * that returns 0 ends the walk with 0; otherwise 1.  No checks. */
LIBKRC_API int list_foreach_sep(list_t *lst, void *ctx, list_visit_fn f, list_sep_fn sep);

/* ---- Derived lists and reordering -------------------------------------- */
/* Every new list uses the source's two hooks: one allocation for its header
 * and one per item.  When any of them fails, the new list is released (with
 * no destructor, except for list_copy) and null is returned; the source is
 * never changed.  The source may itself be a sublist. */

/* Sublist of the data pointers for which include_node(data, ctx) is nonzero,
 * in source order; include_node is called once per item.  Asserts
 * lst != NULL, then include_node != NULL.  Null on allocation failure. */
LIBKRC_API list_t *sublist_create(list_t *lst, list_pred_fn include_node, void *ctx);

/* As sublist_create, keeping the items for which include_node returns 0. */
LIBKRC_API list_t *sublist_create_neg(list_t *lst, list_pred_fn include_node, void *ctx);

/* Sublist of adaptor(data) for every item, in order; a null result is stored
 * like any other.  No checks.  Null on allocation failure. */
LIBKRC_API list_t *sublist_adaptor(list_t *lst, list_map_fn adaptor);

/* Sublist of every data pointer (a shallow copy).  No checks.  Null on
 * allocation failure. */
LIBKRC_API list_t *sublist_copy(list_t *lst);

/* Ordinary list of copier(data) for every item, in order; the caller owns
 * the copies.  Asserts lst != NULL, then copier != NULL.  A null copy or a
 * failed allocation is a failure: the new list is released with list_free
 * and destructor (which, if non-null, receives every copy already in it, in
 * order) and null is returned.  A copy whose own node could not be allocated
 * is handed to destructor as well, after the others, so a failed copy leaks
 * nothing when a destructor is given. */
LIBKRC_API list_t *list_copy(list_t *lst, list_map_fn copier, list_destructor_fn destructor);

/* Appends src's data pointers to dest (new nodes from dest's hook), then
 * frees src with no destructor and returns dest; src must not be used
 * afterwards.  dest and src must be different lists; dest must not be a
 * sublist unless src is empty (list_add's assertion fires otherwise).
 * Asserts src != NULL, then dest != NULL.  O(len src).  When an append
 * fails, returns null at once with nothing undone: dest keeps the items
 * appended so far and src is untouched and still the caller's. */
LIBKRC_API list_t *list_merge(list_t *dest, list_t *src);

/* Sorts ascending by func with a stable bubble sort that exchanges data
 * pointers between nodes: nodes never move, so node pointers stay valid.
 * Each pass makes n - 1 calls of func(a, b) (a from the earlier node); passes
 * repeat until one makes no exchange, so sorted input costs n - 1 calls and
 * the worst case n(n - 1).  Fewer than two nodes: no call.  Allowed on a
 * sublist.  Asserts lst != NULL, then func != NULL.  Never fails. */
LIBKRC_API void list_sort(list_t *lst, list_order_fn func);

#ifdef __cplusplus
}
#endif

#endif
