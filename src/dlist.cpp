// SPDX-License-Identifier: MIT
// Intrusive doubly linked list.
//
// Insertion at the front and sorted insertion are built on insertion behind
// an element, removal at the ends and the release of all elements on removal
// of a given element; the FIFO steps (append, removal of the first element)
// have paths of their own, to which the general ones defer.  Nothing here allocates or checks.
#include <libkrc/dlist.h>

#include <cstdint>
#include <cstdlib>

#include "internal/link.h"

namespace {

inline krc::Link next(const DList *list) { return krc::Link{list->nextOffset}; }
inline krc::Link prev(const DList *list) { return krc::Link{list->prevOffset}; }

// The two FIFO steps, append and remove_first, are inlined wherever they are
// used, the file's -Os notwithstanding: each is a dozen instructions, and a
// call to the general insertion or removal would cost more than that.

// Links elem behind the last element, or as the only one.
[[gnu::always_inline]] inline void append(DList *list, void *elem) {
    const krc::Link nx = next(list);
    void *last = list->last;
    prev(list).set(elem, last);
    nx.set(elem, nullptr);
    if (last != nullptr)
        nx.set(last, elem);
    else
        list->first = elem;
    list->last = elem;
    list->count += 1;
}

// Links elem behind pred, or in front of the first element when pred is null.
// Behind the last element (or into an empty list) there is no successor to
// relink: that is append.  Anywhere else there is a successor, so `last`
// stays.
void insert_after(DList *list, void *pred, void *elem) {
    if (pred == list->last)
        return append(list, elem);
    const krc::Link nx = next(list);
    const krc::Link pv = prev(list);
    void *succ = pred == nullptr ? list->first : nx.get(pred);
    nx.set(elem, succ);
    pv.set(elem, pred);
    if (pred == nullptr)
        list->first = elem;
    else
        nx.set(pred, elem);
    pv.set(succ, elem);
    list->count += 1;
}

// Unlinks the first element, if any.
[[gnu::always_inline]] inline void *remove_first(DList *list) {
    void *elem = list->first;
    if (elem == nullptr)
        return nullptr;
    const krc::Link nx = next(list);
    void *succ = nx.get(elem);
    nx.set(elem, nullptr);
    list->first = succ;
    if (succ != nullptr)
        prev(list).set(succ, nullptr);
    else
        list->last = nullptr;
    list->count -= 1;
    return elem;
}

// Unlinks elem, which is in this list.  The cursor is left alone, unlike the
// singly linked list's: a walk that has just been handed elem has already
// moved on, and one whose cursor is on elem ends after returning it.  The
// first element has no predecessor to relink: remove_first.
void *remove_elem(DList *list, void *elem) {
    if (elem == nullptr)
        return nullptr;
    if (elem == list->first)
        return remove_first(list);
    const krc::Link nx = next(list);
    const krc::Link pv = prev(list);
    void *pred = pv.get(elem);
    void *succ = nx.get(elem);
    nx.set(elem, nullptr);
    pv.set(elem, nullptr);
    nx.set(pred, succ);
    if (succ != nullptr)
        pv.set(succ, pred);
    else
        list->last = pred;
    list->count -= 1;
    return elem;
}

void *advance(DList *list) { return krc::advance(list, next(list)); }

}  // namespace

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" void DList_makeDList(DList *list, void *sample, void *sampleNext, void *samplePrev,
                                DList_compare_fn compare) {
    list->first = nullptr;
    list->last = nullptr;
    list->cursor = nullptr;
    list->count = 0;
    list->compare = compare;
    list->nextOffset = krc::distance(sample, sampleNext);
    list->prevOffset = krc::distance(sample, samplePrev);
}

extern "C" void DList_insertAfter(DList *list, void *pred, void *elem) { insert_after(list, pred, elem); }

extern "C" void DList_insertFirst(DList *list, void *elem) { insert_after(list, nullptr, elem); }

extern "C" void DList_insertLast(DList *list, void *elem) { append(list, elem); }

extern "C" void DList_insertSorted(DList *list, void *elem) {
    insert_after(list, krc::sorted_predecessor(list, next(list), elem), elem);
}

extern "C" void *DList_remove(DList *list, void *elem) { return remove_elem(list, elem); }

extern "C" void *DList_removeFirst(DList *list) { return remove_first(list); }

extern "C" void *DList_removeLast(DList *list) { return remove_elem(list, list->last); }

extern "C" void *DList_pop(DList *list) { return remove_first(list); }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" void *DList_getFirst(DList *list) { return list->first; }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" void *DList_getLast(DList *list) { return list->last; }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" uint32_t DList_getCount(DList *list) { return list->count; }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" int32_t DList_isEmpty(DList *list) { return list->count == 0 ? 1 : 0; }

extern "C" void DList_startIterate(DList *list) { krc::start(list); }

extern "C" void *DList_getNext(DList *list) { return advance(list); }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" int32_t DList_hasMoreElements(DList *list) { return list->cursor != nullptr ? 1 : 0; }

extern "C" int32_t DList_compareItems(DList *list, void *a, void *b) { return list->compare(a, b); }

// The cursor has moved past each element before it is removed and freed.
extern "C" DList *DList_freeElements(DList *list) {
    krc::start(list);
    while (list->cursor != nullptr)
        free(remove_elem(list, advance(list)));  // leaves the list empty
    return list;
}
