/* Intrusive singly linked list.
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
 * the caller keeps to these rules.  The header has been initialised; an
 * element being inserted is not linked through the same link field in any
 * list; a predecessor passed in is an element of this list; compare is
 * non-null whenever two elements are compared; a record is not freed while it
 * is linked.  Empty conditions show as null results and change nothing.
 * Nothing here takes a lock; a list and its records are used by one thread
 * at a time.
 *
 * The header has no destroy operation: its storage is the caller's.
 */
#ifndef LIBKRC_SLIST_H
#define LIBKRC_SLIST_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Order of two element pointers: negative when a sorts before b, zero when
 * they sort equal, positive when a sorts after b. */
typedef int32_t (*List_compare_fn)(void *a, void *b);

/* The list header.
 * Invariants of a consistent list: following the links from first visits
 * exactly count elements and ends at last, whose link is null; first and
 * last are null exactly when count is 0; cursor is null or an element of the
 * list. */
typedef struct List {
    void *first;             /* first element, null when empty */
    void *last;              /* last element, null when empty */
    void *cursor;            /* what List_getNext returns next; null: no walk */
    int32_t count;           /* number of elements */
    List_compare_fn compare; /* ordering for the sorted operations; may be null */
    intptr_t linkOffset;     /* element pointer to link field, in bytes */
} List;

#ifdef __cplusplus
static_assert(sizeof(void *) != 4 || sizeof(List) == 24, "List is 24 bytes on 32-bit targets");
static_assert(sizeof(void *) != 4 || offsetof(List, count) == 12, "count at offset 12");
static_assert(sizeof(void *) != 4 || offsetof(List, linkOffset) == 20, "linkOffset at offset 20");
#endif

/* Initialises the header: linkOffset := sampleLink - sample (neither is
 * dereferenced, so any record of the element type serves as the sample),
 * compare as given (null allowed), first, last and cursor null, count 0.
 * Whatever the header held before is abandoned untouched.  O(1). */
LIBKRC_API void List_makeList(List *list, void *sample, void *sampleLink, List_compare_fn compare);

/* Links elem in front of the first element.  O(1). */
LIBKRC_API void List_insertFirst(List *list, void *elem);

/* Links elem behind the last element.  O(1). */
LIBKRC_API void List_insertLast(List *list, void *elem);

/* Links elem in front of the first element x for which compare(x, elem) is
 * not negative, so it precedes every element that compares equal to it.
 * Inserting at position k (from 0) costs k + 1 calls of compare; appending
 * costs one call per element present; an empty list none.  O(n). */
LIBKRC_API void List_insertSorted(List *list, void *elem);

/* Unlinks the successor of pred, or the first element when pred is null,
 * and returns it with its link null.  Returns null and changes nothing when
 * there is no such element (empty list, or pred is the last element).  If
 * cursor designated the removed element it moves on to its former
 * successor, so a walk in progress goes on with the next element.  O(1). */
LIBKRC_API void *List_removeAfter(List *list, void *pred);

/* List_removeAfter(list, NULL).  O(1). */
LIBKRC_API void *List_removeFirst(List *list);

/* Unlinks the last element: walks count - 2 links from first to find its
 * predecessor (none for a list of one or two), then acts as
 * List_removeAfter.  Null on an empty list.  O(n). */
LIBKRC_API void *List_removeLast(List *list);

/* Stack use: List_push is List_insertFirst, List_pop is List_removeFirst,
 * List_peek is List_getFirst.  O(1). */
LIBKRC_API void List_push(List *list, void *elem);
LIBKRC_API void *List_pop(List *list);
LIBKRC_API void *List_peek(List *list);

/* The header's first, last and count.  O(1). */
LIBKRC_API void *List_getFirst(List *list);
LIBKRC_API void *List_getLast(List *list);
LIBKRC_API int32_t List_getCount(List *list);

/* 1 when count is 0, else 0.  O(1). */
LIBKRC_API int32_t List_isEmpty(List *list);

/* The header's one walk.  List_startIterate sets cursor to first.
 * List_getNext returns cursor and, when it is non-null, first moves cursor to
 * that element's successor: the caller may unlink, free or relink the
 * element it was given without disturbing the walk.  At the end it returns
 * null, and keeps doing so.  List_hasMoreElements is 1 when cursor is
 * non-null, else 0.  Removals move cursor off a removed element; insertions
 * never move it, so an element linked in ahead of the cursor is visited by
 * the walk in progress and one linked in behind it is not.  O(1). */
LIBKRC_API void List_startIterate(List *list);
LIBKRC_API void *List_getNext(List *list);
LIBKRC_API int32_t List_hasMoreElements(List *list);

/* The successor of elem, null for a null elem and for the last element;
 * cursor is not touched.  List_getFirst then List_getNextElem on each
 * element walks the list without disturbing a cursor walk.  O(1). */
LIBKRC_API void *List_getNextElem(List *list, void *elem);

/* compare(a, b), returned unchanged. */
LIBKRC_API int32_t List_compareItems(List *list, void *a, void *b);

/* Sorts ascending by one forward pass of insertion sort: an element that
 * sorts before its running predecessor is unlinked and put back with
 * List_insertSorted.  Not stable (it goes in front of its equals).  Sorted
 * input costs n - 1 calls of compare, the worst case is quadratic, fewer than
 * two elements cost none.  Uses the cursor: a walk the caller had running is
 * lost, cursor ends null.  Returns list. */
LIBKRC_API List *List_sortList(List *list);

/* Moves every element of second into list by List_insertSorted, in second's
 * order, reading each one through second's cursor and link distance before
 * linking it through list's, so the two lists may use the same link field or
 * different ones.  The result is ascending when list was; second need not be
 * sorted.  Elements of second go in front of equal elements of list, and
 * equal elements of second come out in reverse order.  second's first, last
 * and count are left as they were and its cursor ends null; when both lists
 * use the same link field, second no longer describes a chain of its own and
 * must be initialised again with List_makeList before further use.  The two
 * headers must be different.  Returns second. */
LIBKRC_API List *List_mergeLists(List *list, List *second);

/* Appends second's chain to list, without a walk: the last element of list
 * is linked to second's first element (or, when list is empty, second's
 * first element becomes list's first), list's last becomes second's last and
 * second's count is added to list's count.  An empty second changes nothing.
 * Both lists must use the same link field.  second's header is not changed:
 * its elements are now the tail of list, so second must be initialised again
 * with List_makeList before further use.  O(1). */
LIBKRC_API void List_appendList(List *list, List *second);

/* Passes every element to free, first to last, then leaves the header empty
 * (cursor null) with compare and linkOffset kept, ready for new elements.
 * The freed records' links are not cleared.  Every element must be a block
 * from malloc or calloc whose element pointer is the start of the block.
 * O(n).  Returns list. */
LIBKRC_API List *List_freeElements(List *list);

#ifdef __cplusplus
}
#endif

#endif
