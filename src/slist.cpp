// SPDX-License-Identifier: MIT
// Intrusive singly linked list.
//
// Sorting and merging are built on the list's own cursor walk, sorted
// insertion and removal behind an element, so the cursor and ordering rules
// live in one place.  Nothing here allocates or checks.
#include <libkrc/slist.h>

#include <cstdint>
#include <cstdlib>

#include "internal/link.h"

namespace {

inline krc::Link link(const List *list) { return krc::Link{list->linkOffset}; }

// The two FIFO steps, append and remove_first, are inlined wherever they are
// used, the file's -Os notwithstanding: each is about a dozen instructions,
// and a call to the general insertion or removal would cost more than that.

// Links elem behind the last element, or as the only one.
[[gnu::always_inline]] inline void append(List *list, void *elem) {
    const krc::Link next = link(list);
    next.set(elem, nullptr);
    void *last = list->last;  // read after the store: one instruction less on armhf
    if (last != nullptr)
        next.set(last, elem);
    else
        list->first = elem;
    list->last = elem;
    list->count += 1;
}

// Unlinks the first element, if any.  A cursor on it moves on to its
// successor, so a walk goes on with the next element.
[[gnu::always_inline]] inline void *remove_first(List *list) {
    const krc::Link next = link(list);
    void *victim = list->first;
    if (victim == nullptr)
        return nullptr;
    void *succ = next.get(victim);
    next.set(victim, nullptr);
    list->first = succ;
    if (succ == nullptr)
        list->last = nullptr;
    list->count -= 1;
    if (list->cursor == victim)
        list->cursor = succ;
    return victim;
}

// Links elem behind pred, or in front of the first element when pred is null.
void insert_after(List *list, void *pred, void *elem) {
    const krc::Link next = link(list);
    const void *last = list->last;
    if (pred == nullptr) {
        next.set(elem, list->first);
        list->first = elem;
    } else {
        next.set(elem, next.get(pred));
        next.set(pred, elem);
    }
    if (last == pred)
        list->last = elem;
    list->count += 1;
}

void insert_sorted(List *list, void *elem) {
    insert_after(list, krc::sorted_predecessor(list, link(list), elem), elem);
}

// Unlinks the successor of pred (the first element when pred is null).  A
// cursor on the removed element moves on to its successor, so a walk goes on
// with the next element.
void *remove_after(List *list, void *pred) {
    const krc::Link next = link(list);
    void *victim = pred == nullptr ? list->first : next.get(pred);
    if (victim == nullptr)
        return nullptr;
    void *succ = next.get(victim);
    next.set(victim, nullptr);
    if (pred == nullptr)
        list->first = succ;
    else
        next.set(pred, succ);
    if (succ == nullptr)
        list->last = pred;
    list->count -= 1;
    if (list->cursor == victim)
        list->cursor = succ;
    return victim;
}

void *advance(List *list) { return krc::advance(list, link(list)); }

}  // namespace

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" void List_makeList(List *list, void *sample, void *sampleLink, List_compare_fn compare) {
    list->first = nullptr;
    list->last = nullptr;
    list->cursor = nullptr;
    list->count = 0;
    list->compare = compare;
    list->linkOffset = krc::distance(sample, sampleLink);
}

extern "C" void List_insertFirst(List *list, void *elem) { insert_after(list, nullptr, elem); }

extern "C" void List_insertLast(List *list, void *elem) { append(list, elem); }

extern "C" void List_insertSorted(List *list, void *elem) { insert_sorted(list, elem); }

extern "C" void *List_removeAfter(List *list, void *pred) { return remove_after(list, pred); }

extern "C" void *List_removeFirst(List *list) { return remove_first(list); }

// The predecessor of the last element is count - 2 links on from first.
extern "C" void *List_removeLast(List *list) {
    void *pred = nullptr;
    if (list->count != 1) {
        pred = list->first;
        for (int32_t i = 2; i < list->count; ++i)
            pred = link(list).get(pred);
    }
    return remove_after(list, pred);
}

extern "C" void List_push(List *list, void *elem) { insert_after(list, nullptr, elem); }

extern "C" void *List_pop(List *list) { return remove_first(list); }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" void *List_peek(List *list) { return list->first; }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" void *List_getFirst(List *list) { return list->first; }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" void *List_getLast(List *list) { return list->last; }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" int32_t List_getCount(List *list) { return list->count; }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" int32_t List_isEmpty(List *list) { return list->count == 0 ? 1 : 0; }

extern "C" void List_startIterate(List *list) { krc::start(list); }

extern "C" void *List_getNext(List *list) { return advance(list); }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" int32_t List_hasMoreElements(List *list) { return list->cursor != nullptr ? 1 : 0; }

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" void *List_getNextElem(List *list, void *elem) {
    return elem != nullptr ? link(list).get(elem) : nullptr;
}

extern "C" int32_t List_compareItems(List *list, void *a, void *b) { return list->compare(a, b); }

// One forward pass: the elements from first up to r are ascending with r the
// greatest, so an element that sorts before r goes back in front of r, behind
// the cursor, which has already moved past it.
extern "C" List *List_sortList(List *list) {
    krc::start(list);
    void *r = advance(list);
    while (list->cursor != nullptr) {
        void *c = advance(list);
        if (list->compare(r, c) > 0) {
            remove_after(list, r);
            insert_sorted(list, c);
        } else {
            r = c;
        }
    }
    return list;
}

// Each element is read through the second header's link before the first
// header's link (possibly the same field) is written.
extern "C" List *List_mergeLists(List *list, List *second) {
    krc::start(second);
    while (second->cursor != nullptr)
        insert_sorted(list, advance(second));
    return second;
}

extern "C" void List_appendList(List *list, List *second) {
    if (second->first == nullptr)
        return;
    if (list->last != nullptr)
        link(list).set(list->last, second->first);
    else
        list->first = second->first;
    list->last = second->last;
    list->count += second->count;
}

extern "C" List *List_freeElements(List *list) {
    krc::start(list);
    while (list->cursor != nullptr)
        free(advance(list));
    list->count = 0;
    list->first = nullptr;
    list->last = nullptr;
    return list;
}
