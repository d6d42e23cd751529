/* SPDX-License-Identifier: MIT */
/** @file
 * Intrusive doubly linked list.
 *
 * Links records that the caller owns through two pointer fields inside each
 * record, the next field and the prev field, so that insertion behind any
 * element and removal of any element take constant time.  The list never
 * allocates and never copies a record: it is a small header, placed wherever
 * the caller likes, plus the two fields of every record in it.
 * DList_makeDList captures the byte distances from a record's address (the
 * element pointer) to its two fields; every later access adds the matching
 * distance to an element pointer, wrapping around on a 32-bit target, so any
 * distances work, negative ones included.  A record type with several pairs
 * of fields can sit in several lists at once, one list per pair.
 *
 * Both fields hold element pointers (not addresses of the neighbours'
 * fields): next is null in the last element, prev null in the first.
 * Removal leaves both fields of the removed element null.  The list reads and
 * writes nothing in a record but these two fields.
 *
 * Nothing is checked and nothing is reported except through return values:
 * the caller keeps to these rules, which hold for every function here.  The header has been initialised; an
 * element being inserted is not linked through the same pair of fields in
 * any list; a predecessor or element passed in is null or an element of this
 * list; compare is non-null whenever two elements are compared; a record is
 * not freed while it is linked or while cursor designates it.  Empty
 * conditions show as null results and change nothing.  Nothing here takes a
 * lock; a list and its records are used by one thread at a time.
 *
 * The header has no destroy operation: its storage is the caller's.  Every
 * function takes the header as its first parameter, list.
 */
#ifndef LIBKRC_DLIST_H
#define LIBKRC_DLIST_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Order of two element pointers: negative when a sorts before b, zero when
 * they sort equal, positive when a sorts after b. */
typedef int32_t (*DList_compare_fn)(void *a, void *b);

/** The list header.
 * Invariants of a consistent list: following next from first visits exactly
 * count elements and ends at last, whose next is null; following prev from
 * last visits the same elements in reverse and ends at first, whose prev is
 * null; first and last are null exactly when count is 0; cursor is null or
 * an element of the list, except after the element it designates has been
 * removed (see DList_getNext). */
typedef struct DList {
    void *first;              /**< first element, null when empty */
    void *last;               /**< last element, null when empty */
    void *cursor;             /**< what DList_getNext() returns next; null: no walk */
    uint32_t count;           /**< number of elements */
    DList_compare_fn compare; /**< ordering for sorted insertion; may be null */
    intptr_t nextOffset;      /**< element pointer to next field, in bytes */
    intptr_t prevOffset;      /**< element pointer to prev field, in bytes */
} DList;

#ifdef __cplusplus
static_assert(sizeof(DList) == (sizeof(void *) == 4 ? 28 : 56), "DList is 28 bytes (32-bit), 56 (64-bit)");
static_assert(offsetof(DList, count) == (sizeof(void *) == 4 ? 12 : 24), "count at 12 (32-bit), 24 (64-bit)");
static_assert(offsetof(DList, nextOffset) == (sizeof(void *) == 4 ? 20 : 40),
              "nextOffset at 20 (32-bit), 40 (64-bit)");
static_assert(offsetof(DList, prevOffset) == (sizeof(void *) == 4 ? 24 : 48),
              "prevOffset at 24 (32-bit), 48 (64-bit)");
#endif

/** Initialises the header: nextOffset := sampleNext - sample,
 * prevOffset := samplePrev - sample, first, last and cursor null, count 0.
 * Whatever the header held before is abandoned untouched.  O(1).
 * @param list       the header
 * @param sample     any record of the element type; not dereferenced
 * @param sampleNext the address of sample's next field; not dereferenced
 * @param samplePrev the address of sample's prev field; not dereferenced
 * @param compare    the ordering for sorted insertion; may be null */
LIBKRC_API void DList_makeDList(DList *list, void *sample, void *sampleNext, void *samplePrev,
                                DList_compare_fn compare);

/** Links an element behind pred.  O(1).
 * @param list the list
 * @param pred an element of the list, or null for the front
 * @param elem the element */
LIBKRC_API void DList_insertAfter(DList *list, void *pred, void *elem);

/** DList_insertAfter(list, NULL, elem).  O(1).
 * @param list the list
 * @param elem the element */
LIBKRC_API void DList_insertFirst(DList *list, void *elem);

/** DList_insertAfter(list, last, elem).  O(1).
 * @param list the list
 * @param elem the element */
LIBKRC_API void DList_insertLast(DList *list, void *elem);

/** Links an element in front of the first element x for which
 * compare(x, elem) is not negative, so it precedes every element that
 * compares equal to it.  Inserting at position k (from 0) costs k + 1 calls
 * of compare; appending costs one call per element present; an empty list
 * none.
 * @param list the list
 * @param elem the element */
LIBKRC_API void DList_insertSorted(DList *list, void *elem);

/** Unlinks an element.  cursor is never touched (see DList_getNext()).  O(1).
 * @param list the list
 * @param elem an element of the list (not searched for), or null
 * @return elem, with both fields null; null for a null elem, with nothing
 *         changed */
LIBKRC_API void *DList_remove(DList *list, void *elem);

/** DList_remove() on the first element.  O(1).
 * @param list the list
 * @return the removed element, or null on an empty list */
LIBKRC_API void *DList_removeFirst(DList *list);
/** DList_remove() on the last element.  O(1).
 * @param list the list
 * @return the removed element, or null on an empty list */
LIBKRC_API void *DList_removeLast(DList *list);
/** Stack use: DList_removeFirst().  O(1).
 * @param list the list
 * @return the removed element, or null on an empty list */
LIBKRC_API void *DList_pop(DList *list);

/** The first element.  O(1).
 * @param list the list
 * @return the header's first, null when empty */
LIBKRC_API void *DList_getFirst(DList *list);
/** The last element.  O(1).
 * @param list the list
 * @return the header's last, null when empty */
LIBKRC_API void *DList_getLast(DList *list);
/** The number of elements.  O(1).
 * @param list the list
 * @return the header's count */
LIBKRC_API uint32_t DList_getCount(DList *list);

/** Whether the list is empty.  O(1).
 * @param list the list
 * @return 1 when count is 0, else 0 */
LIBKRC_API int32_t DList_isEmpty(DList *list);

/** Starts the header's one walk: cursor := first.  Only the walk functions
 * and DList_makeDList() write cursor: removing the element that cursor
 * designates leaves cursor on it, so the next DList_getNext() returns that
 * removed element (whose next field is null) and the walk then ends.
 * Insertions never move cursor, so an element linked in ahead of it is
 * visited by the walk in progress and one linked in behind it is not.  O(1).
 * @param list the list */
LIBKRC_API void DList_startIterate(DList *list);
/** Steps the walk: returns cursor and, when it is non-null, first moves
 * cursor to that element's next field, so the caller may remove and free the
 * element it was given without disturbing the walk.  O(1).
 * @param list the list
 * @return the element, or null at the end (and on every later call) */
LIBKRC_API void *DList_getNext(DList *list);
/** Whether the walk has an element left.  O(1).
 * @param list the list
 * @return 1 when cursor is non-null, else 0 */
LIBKRC_API int32_t DList_hasMoreElements(DList *list);

/** Compares two elements with the list's compare.
 * @param list the list
 * @param a    the first element
 * @param b    the second element
 * @return compare(a, b), unchanged */
LIBKRC_API int32_t DList_compareItems(DList *list, void *a, void *b);

/** Removes every element and passes it to free, walking with the cursor, then
 * leaves the header empty (cursor null) with compare and both distances
 * kept, ready for new elements.  O(n).
 * @param list the list; every element a block from malloc or calloc whose
 *             element pointer is the start of the block
 * @return list */
LIBKRC_API DList *DList_freeElements(DList *list);

#ifdef __cplusplus
}
#endif

#endif
