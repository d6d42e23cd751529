/* SPDX-License-Identifier: MIT */
/** @file
 * Intrusive singly linked list.
 *
 * Links records that the caller owns through a pointer field inside each
 * record, the link field.  The list never allocates and never copies a
 * record: it is a small header, placed wherever the caller likes, plus the
 * link fields of the records in it.  List_makeList captures the byte distance
 * from a record's address (the element pointer) to its link field; every
 * later access adds that distance to an element pointer, wrapping around on
 * a 32-bit target, so any distance works, negative ones included.  A record
 * type with several link fields can sit in several lists at once, one list
 * per link field.
 *
 * A link field holds the element pointer of the next element (not the
 * address of its link field), or null in the last element.  Removal leaves
 * the removed element's link null.  The list reads and writes nothing in a
 * record but its link field.
 *
 * Nothing is checked and nothing is reported except through return values:
 * the caller keeps to these rules, which hold for every function here.  The header has been initialised; an
 * element being inserted is not linked through the same link field in any
 * list; a predecessor passed in is an element of this list; compare is
 * non-null whenever two elements are compared; a record is not freed while it
 * is linked.  Empty conditions show as null results and change nothing.
 * Nothing here takes a lock; a list and its records are used by one thread
 * at a time.
 *
 * The header has no destroy operation: its storage is the caller's.  Every
 * function takes the header as its first parameter, list.
 */
#ifndef LIBKRC_SLIST_H
#define LIBKRC_SLIST_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Order of two element pointers: negative when a sorts before b, zero when
 * they sort equal, positive when a sorts after b. */
typedef int32_t (*List_compare_fn)(void *a, void *b);

/** The list header.
 * Invariants of a consistent list: following the links from first visits
 * exactly count elements and ends at last, whose link is null; first and
 * last are null exactly when count is 0; cursor is null or an element of the
 * list. */
typedef struct List {
    void *first;             /**< first element, null when empty */
    void *last;              /**< last element, null when empty */
    void *cursor;            /**< what List_getNext() returns next; null: no walk */
    int32_t count;           /**< number of elements */
    List_compare_fn compare; /**< ordering for the sorted operations; may be null */
    intptr_t linkOffset;     /**< element pointer to link field, in bytes */
} List;

#ifdef __cplusplus
static_assert(sizeof(List) == (sizeof(void *) == 4 ? 24 : 48), "List is 24 bytes (32-bit), 48 (64-bit)");
static_assert(offsetof(List, count) == (sizeof(void *) == 4 ? 12 : 24), "count at 12 (32-bit), 24 (64-bit)");
static_assert(offsetof(List, linkOffset) == (sizeof(void *) == 4 ? 20 : 40),
              "linkOffset at 20 (32-bit), 40 (64-bit)");
#endif

/** Initialises the header: linkOffset := sampleLink - sample, first, last
 * and cursor null, count 0.  Whatever the header held before is abandoned
 * untouched.  O(1).
 * @param list       the header
 * @param sample     any record of the element type; not dereferenced
 * @param sampleLink the address of sample's link field; not dereferenced
 * @param compare    the ordering for the sorted operations; may be null */
LIBKRC_API void List_makeList(List *list, void *sample, void *sampleLink, List_compare_fn compare);

/** Links an element in front of the first.  O(1).
 * @param list the list
 * @param elem the element */
LIBKRC_API void List_insertFirst(List *list, void *elem);

/** Links an element behind the last.  O(1).
 * @param list the list
 * @param elem the element */
LIBKRC_API void List_insertLast(List *list, void *elem);

/** Links an element in front of the first element x for which
 * compare(x, elem) is not negative, so it precedes every element that
 * compares equal to it.  Inserting at position k (from 0) costs k + 1 calls
 * of compare; appending costs one call per element present; an empty list
 * none.
 * @param list the list
 * @param elem the element */
LIBKRC_API void List_insertSorted(List *list, void *elem);

/** Unlinks the successor of pred.  If cursor designated the removed element
 * it moves on to its former successor, so a walk in progress goes on with
 * the next element.  O(1).
 * @param list the list
 * @param pred an element of the list, or null for the first element
 * @return the removed element, its link null; null, with nothing changed,
 *         when there is no such element (empty list, or pred is the last) */
LIBKRC_API void *List_removeAfter(List *list, void *pred);

/** List_removeAfter(list, NULL).  O(1).
 * @param list the list
 * @return the removed first element, or null on an empty list */
LIBKRC_API void *List_removeFirst(List *list);

/** Unlinks the last element as List_removeAfter() does, after walking from
 * first to its predecessor.  O(n).
 * @param list the list
 * @return the removed element, or null on an empty list */
LIBKRC_API void *List_removeLast(List *list);

/** Stack use: List_insertFirst().  O(1).
 * @param list the list
 * @param elem the element */
LIBKRC_API void List_push(List *list, void *elem);
/** Stack use: List_removeFirst().  O(1).
 * @param list the list
 * @return the removed first element, or null on an empty list */
LIBKRC_API void *List_pop(List *list);
/** Stack use: List_getFirst().  O(1).
 * @param list the list
 * @return the first element, or null on an empty list */
LIBKRC_API void *List_peek(List *list);

/** The first element.  O(1).
 * @param list the list
 * @return the header's first, null when empty */
LIBKRC_API void *List_getFirst(List *list);
/** The last element.  O(1).
 * @param list the list
 * @return the header's last, null when empty */
LIBKRC_API void *List_getLast(List *list);
/** The number of elements.  O(1).
 * @param list the list
 * @return the header's count */
LIBKRC_API int32_t List_getCount(List *list);

/** Whether the list is empty.  O(1).
 * @param list the list
 * @return 1 when count is 0, else 0 */
LIBKRC_API int32_t List_isEmpty(List *list);

/** Starts the header's one walk: cursor := first.  Removals move cursor off a
 * removed element; insertions never move it, so an element linked in ahead
 * of the cursor is visited by the walk in progress and one linked in behind
 * it is not.  O(1).
 * @param list the list */
LIBKRC_API void List_startIterate(List *list);
/** Steps the walk: returns cursor and, when it is non-null, first moves
 * cursor to that element's successor, so the caller may unlink, free or
 * relink the element it was given without disturbing the walk.  O(1).
 * @param list the list
 * @return the element, or null at the end (and on every later call) */
LIBKRC_API void *List_getNext(List *list);
/** Whether the walk has an element left.  O(1).
 * @param list the list
 * @return 1 when cursor is non-null, else 0 */
LIBKRC_API int32_t List_hasMoreElements(List *list);

/** The successor of an element; cursor is not touched, so List_getFirst()
 * then List_getNextElem() on each element walks the list without disturbing
 * a cursor walk.  O(1).
 * @param list the list
 * @param elem an element of the list, or null
 * @return the successor; null for a null elem and for the last element */
LIBKRC_API void *List_getNextElem(List *list, void *elem);

/** Compares two elements with the list's compare.
 * @param list the list
 * @param a    the first element
 * @param b    the second element
 * @return compare(a, b), unchanged */
LIBKRC_API int32_t List_compareItems(List *list, void *a, void *b);

/** Sorts ascending by insertion (List_insertSorted() for every element out
 * of order).  Not stable: an element goes in front of its equals.  Sorted
 * input costs n - 1 calls of compare, the worst case is quadratic, fewer
 * than two elements cost none.  Uses the cursor: a walk the caller had
 * running is lost, cursor ends null.
 * @param list the list
 * @return list */
LIBKRC_API List *List_sortList(List *list);

/** Moves every element of second into list by List_insertSorted(), in
 * second's order, reading each through second's cursor and link distance
 * before linking it through list's, so the two lists may use the same link
 * field or different ones.  The result is ascending when list was; elements
 * of second go in front of equal elements of list, and equal elements of
 * second come out in reverse order.
 * @param list   the list receiving the elements
 * @param second another header; need not be sorted.  Its first, last and
 *               count are left as they were and its cursor ends null; when
 *               both lists use the same link field it must be initialised
 *               again with List_makeList() before further use
 * @return second */
LIBKRC_API List *List_mergeLists(List *list, List *second);

/** Appends second's chain to list, without a walk; an empty second changes
 * nothing.  O(1).
 * @param list   the list receiving the chain
 * @param second a list using the same link field; its header is not changed,
 *               so it must be initialised again with List_makeList() before
 *               further use */
LIBKRC_API void List_appendList(List *list, List *second);

/** Passes every element to free, first to last, then leaves the header empty
 * (cursor null) with compare and linkOffset kept, ready for new elements.
 * The freed records' links are not cleared.  O(n).
 * @param list the list; every element a block from malloc or calloc whose
 *             element pointer is the start of the block
 * @return list */
LIBKRC_API List *List_freeElements(List *list);

#ifdef __cplusplus
}
#endif

#endif
