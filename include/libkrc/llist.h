/* SPDX-License-Identifier: MIT */
/** @file
 * Generic doubly linked list of untyped data pointers.
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
 * Checks: every function that takes a list lst asserts lst != NULL before
 * anything else (reported as "lst" where the function says "Asserts lst"),
 * except list_free (a null lst does nothing) and the operations noted as
 * "no checks", which trust their arguments; further checks are named per
 * function, in the order they are tested.  A violated check prints the
 * failed expression and aborts, in every build.  Nothing here takes a lock.
 *
 * Callbacks: wherever a callback is called for a node, the link to the next
 * node is read after it returns, so a callback may append but must not
 * remove or free the node it is given.  ctx, ctx1, ctx2 and key are passed
 * through unchanged.
 */
#ifndef LIBKRC_LLIST_H
#define LIBKRC_LLIST_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Allocation hook: returns a block of at least `size` bytes, or null. */
typedef void *(*list_alloc_fn)(size_t size);
/** Release hook for blocks of the matching allocation hook. */
typedef void (*list_free_fn)(void *block);
/** Receives a stored data pointer that the list hands back to its owner. */
typedef void (*list_destructor_fn)(void *data);

/** One stored data pointer.
 * Invariants: the first node's prev and the last node's next are null. */
typedef struct list_node {
    struct list_node *next; /**< following node, null on the last */
    struct list_node *prev; /**< preceding node, null on the first */
    void *data;             /**< as the caller gave it; null is a valid value */
} list_node_t;

/** The list header.
 * Invariants: first and last are both null (empty) or both non-null;
 * following next from first visits every node once and ends at last, and
 * following prev from last visits the same nodes in reverse. */
typedef struct list {
    list_node_t *first;     /**< first node, null when empty */
    list_node_t *last;      /**< last node, null when empty */
    list_alloc_fn alloc_fn; /**< never null once created */
    list_free_fn free_fn;   /**< never null once created */
    uint8_t is_sublist;     /**< 0 or 1; set only by the sublist constructors */
} list_t;

/** A position in a list, passed by value. */
typedef struct list_iter {
    list_node_t *node; /**< the node; null is the end position, reached by stepping past either end */
} list_iter_t;

#ifdef __cplusplus
static_assert(sizeof(list_t) == (sizeof(void *) == 4 ? 20 : 40), "list_t is 20 bytes (32-bit), 40 (64-bit)");
static_assert(offsetof(list_t, is_sublist) == (sizeof(void *) == 4 ? 16 : 32),
              "is_sublist at 16 (32-bit), 32 (64-bit)");
static_assert(sizeof(list_node_t) == (sizeof(void *) == 4 ? 12 : 24),
              "list_node_t is 12 bytes (32-bit), 24 (64-bit)");
static_assert(sizeof(list_iter_t) == sizeof(void *), "list_iter_t is one pointer");
#endif

typedef int (*list_cmp_fn)(void *key, void *data);              /**< search comparator: 0 when data matches key */
typedef unsigned int (*list_pred_fn)(void *data, void *ctx);    /**< predicate: nonzero selects data */
typedef unsigned int (*list_visit_fn)(void *ctx, void *data);   /**< visitor: 0 stops the walk */
typedef unsigned int (*list_dual_visit_fn)(void *ctx1, void *ctx2, void *data); /**< visitor with two contexts: 0 stops */
typedef unsigned int (*list_sep_fn)(void *ctx);                 /**< separator between two items: 0 stops the walk */
typedef void *(*list_map_fn)(void *data);                       /**< adaptor or copier: a new data pointer */
typedef int (*list_order_fn)(void *a, void *b);                 /**< order: > 0 when a belongs after b */

/* ---- Core ------------------------------------------------------------- */

/** Creates an empty ordinary list.  One call of the allocation hook.  No
 * checks.
 * @param alloc_fn the allocation hook; null selects malloc
 * @param free_fn  the release hook; null selects free
 * @return the list, or null when the hook fails (nothing is allocated) */
LIBKRC_API list_t *list_new(list_alloc_fn alloc_fn, list_free_fn free_fn);

/** Ends a list: list_clear(), then releases the header through the list's
 * free_fn.  O(n).
 * @param lst        the list, not used afterwards; null does nothing
 * @param destructor as for list_clear() */
LIBKRC_API void list_free(list_t *lst, list_destructor_fn destructor);

/** Empties the list: every node is released through free_fn, first to last.
 * Hooks and is_sublist stay.  O(n).
 * @param lst        the list
 * @param destructor unless the list is a sublist, receives every data
 *                   pointer, first to last, before any node is released;
 *                   may be null */
LIBKRC_API void list_clear(list_t *lst, list_destructor_fn destructor);

/** Appends a data pointer.  Asserts !lst->is_sublist.  O(1), one allocation.
 * @param lst  the list
 * @param data the data pointer; null is a valid value
 * @return lst, or null with the list unchanged when the hook fails */
LIBKRC_API list_t *list_add(list_t *lst, void *data);

/** Prepends a data pointer.  Checks, cost and failure as list_add().
 * @param lst  the list
 * @param data the data pointer; null is a valid value
 * @return lst, or null with the list unchanged when the hook fails */
LIBKRC_API list_t *list_insert(list_t *lst, void *data);

/** Unlinks a node and releases it through free_fn; its data pointer is not
 * touched.  Allowed on a sublist.  Asserts node != NULL.  O(1).
 * @param lst  the list
 * @param node a node of lst
 * @return the node that followed it, or null if it was the last */
LIBKRC_API list_node_t *list_remove_node(list_t *lst, list_node_t *node);

/** Hands a node's data to the destructor, then removes the node as
 * list_remove_node() does.  Asserts !lst->is_sublist, then node != NULL,
 * before anything happens.  O(1).
 * @param lst        the list
 * @param node       a node of lst
 * @param destructor receives the node's data; may be null
 * @return the node that followed it, or null if it was the last */
LIBKRC_API list_node_t *list_delete(list_t *lst, list_node_t *node, list_destructor_fn destructor);

/** An iterator on the first node.  O(1).
 * @param lst the list
 * @return the position of the first node; the end position when empty */
LIBKRC_API list_iter_t list_first(list_t *lst);
/** An iterator on the last node.  O(1).
 * @param lst the list
 * @return the position of the last node; the end position when empty */
LIBKRC_API list_iter_t list_last(list_t *lst);

/** Whether an iterator is the end position.  No checks.  O(1).
 * @param i the iterator
 * @return 1 if i is the end position, else 0 */
LIBKRC_API int list_end(list_iter_t i);

/** The data pointer at a position.  Asserts i.node != NULL.  O(1).
 * @param i the iterator
 * @return its node's data */
LIBKRC_API void *list_get(list_iter_t i);

/** The next position.  No checks.  O(1).
 * @param i the iterator, not the end position (test list_end() first)
 * @return the following position; past the last node, the end position */
LIBKRC_API list_iter_t list_next(list_iter_t i);
/** The previous position.  No checks.  O(1).
 * @param i the iterator, not the end position (test list_end() first)
 * @return the preceding position; before the first node, the end position */
LIBKRC_API list_iter_t list_prev(list_iter_t i);

/** Whether the list has no node.  No checks.  O(1).
 * @param lst the list
 * @return 1 if empty, else 0 */
LIBKRC_API int list_empty(list_t *lst);

/* ---- Queries and traversal (read-only, never allocate) ------------------ */

/** Number of nodes, by walking the whole list.  No checks.  O(n).
 * @param lst the list
 * @return the number of nodes */
LIBKRC_API uint32_t list_size(list_t *lst);

/** The data pointer at a position.  Asserts idx < list_size(lst).  Walks the
 * list once for the range check and once more up to idx.
 * @param lst the list
 * @param idx the position, 0 for the first
 * @return its data pointer */
LIBKRC_API void *list_at(list_t *lst, uint32_t idx);

/** As list_at(); asserts index < list_size(lst).
 * @param lst   the list
 * @param index the position, 0 for the first
 * @return its data pointer */
LIBKRC_API void *list_get_item(list_t *lst, uint32_t index);

/** Finds a data pointer by identity.  Asserts lst.  O(n).
 * @param lst  the list
 * @param data the pointer; null finds the first null
 * @return the first node holding data, or null */
LIBKRC_API list_node_t *list_find_data(list_t *lst, void *data);

/** Finds a data pointer by comparator.  Asserts lst, then cmp.  O(n).
 * @param lst the list
 * @param key passed to cmp
 * @param cmp called once per node up to and including the match
 * @return the first node for which cmp(key, data) returns 0, or null */
LIBKRC_API list_node_t *list_find(list_t *lst, void *key, list_cmp_fn cmp);

/** Counts the nodes a predicate selects.  No checks.  O(n).
 * @param lst  the list
 * @param pred called once per node, first to last; null selects every node
 * @param ctx  passed to pred
 * @return the number of nodes for which pred(data, ctx) is nonzero */
LIBKRC_API uint32_t list_count(list_t *lst, list_pred_fn pred, void *ctx);

/** Calls f(ctx, data) first to last.  Asserts f != NULL.  O(n).
 * @param lst the list
 * @param ctx passed to f
 * @param f   the visitor
 * @return 0 as soon as a call returns 0, else 1 (also for an empty list) */
LIBKRC_API int list_foreach(list_t *lst, void *ctx, list_visit_fn f);

/** As list_foreach() with f(ctx1, ctx2, data).  No checks.
 * @param lst  the list
 * @param ctx1 passed to f
 * @param ctx2 passed to f
 * @param f    the visitor
 * @return 0 as soon as a call returns 0, else 1 */
LIBKRC_API int list_dual_foreach(list_t *lst, void *ctx1, void *ctx2, list_dual_visit_fn f);

/** As list_foreach(), from the last node to the first.  No checks.
 * @param lst the list
 * @param ctx passed to f
 * @param f   the visitor
 * @return 0 as soon as a call returns 0, else 1 */
LIBKRC_API int list_foreach_reversed(list_t *lst, void *ctx, list_visit_fn f);

/** As list_foreach(), with a separator called between two items only.  No
 * checks.
 * @param lst the list
 * @param ctx passed to f and sep
 * @param f   the visitor
 * @param sep called between two items, never before the first or after the
 *            last
 * @return 0 as soon as a call of either callback returns 0, else 1 */
LIBKRC_API int list_foreach_sep(list_t *lst, void *ctx, list_visit_fn f, list_sep_fn sep);

/* ---- Derived lists and reordering -------------------------------------- */
/* Every new list uses the source's two hooks: one allocation for its header
 * and one per item.  When any of them fails, the new list is released (with
 * no destructor, except for list_copy) and null is returned; the source is
 * never changed.  The source may itself be a sublist. */

/** A sublist of the data pointers a predicate selects, in source order.
 * Asserts include_node != NULL.
 * @param lst          the source
 * @param include_node called once per item; nonzero keeps the item
 * @param ctx          passed to include_node
 * @return the sublist, or null on allocation failure */
LIBKRC_API list_t *sublist_create(list_t *lst, list_pred_fn include_node, void *ctx);

/** As sublist_create(), keeping the items for which include_node returns 0.
 * @param lst          the source
 * @param include_node called once per item; 0 keeps the item
 * @param ctx          passed to include_node
 * @return the sublist, or null on allocation failure */
LIBKRC_API list_t *sublist_create_neg(list_t *lst, list_pred_fn include_node, void *ctx);

/** A sublist of adaptor(data) for every item, in order.  No checks.
 * @param lst     the source
 * @param adaptor maps each data pointer; a null result is stored like any
 *                other
 * @return the sublist, or null on allocation failure */
LIBKRC_API list_t *sublist_adaptor(list_t *lst, list_map_fn adaptor);

/** A sublist of every data pointer (a shallow copy).  No checks.
 * @param lst the source
 * @return the sublist, or null on allocation failure */
LIBKRC_API list_t *sublist_copy(list_t *lst);

/** An ordinary list of copier(data) for every item, in order; the caller owns
 * the copies.  Asserts copier != NULL.
 * @param lst        the source
 * @param copier     copies one data pointer; a null copy is a failure
 * @param destructor on failure, receives every copy made, in order (the one
 *                   whose node could not be allocated last), so a failed
 *                   copy leaks nothing; may be null
 * @return the new list, or null on failure (the new list released with
 *         list_free()) */
LIBKRC_API list_t *list_copy(list_t *lst, list_map_fn copier, list_destructor_fn destructor);

/** Appends src's data pointers to dest (new nodes from dest's hook), then
 * frees src with no destructor.  Asserts src != NULL, then dest != NULL.
 * O(len src).
 * @param dest the list appended to; not a sublist unless src is empty
 *             (list_add()'s assertion fires otherwise)
 * @param src  a different list; not used afterwards on success
 * @return dest; or null at once when an append fails, with nothing undone:
 *         dest keeps the items appended so far and src is untouched and
 *         still the caller's */
LIBKRC_API list_t *list_merge(list_t *dest, list_t *src);

/** Sorts ascending, stably, by exchanging data pointers between nodes: nodes
 * never move, so node pointers stay valid.  Sorted input costs n - 1 calls
 * of func, the worst case n(n - 1); fewer than two nodes none.  Allowed on a
 * sublist.  Asserts func != NULL.  Never fails.
 * @param lst  the list
 * @param func the order, called as func(a, b) with a from the earlier node */
LIBKRC_API void list_sort(list_t *lst, list_order_fn func);

#ifdef __cplusplus
}
#endif

#endif
