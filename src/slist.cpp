// Intrusive singly linked list.
//
// Sorting and merging are built on the list's own cursor walk, sorted
// insertion and removal behind an element, so the cursor and ordering rules
// live in one place.  Nothing here allocates or checks.
#include <libkrc/slist.h>

#include <cstdint>
#include <cstdlib>

namespace {

// The link field of elem.  The distance is added in unsigned pointer-wide
// arithmetic, which wraps around on a 32-bit target, so negative distances
// and records laid out around the element pointer work alike.
inline void *&link_of(const List *list, void *elem) {
    return *reinterpret_cast<void **>(reinterpret_cast<uintptr_t>(elem) +
                                      static_cast<uintptr_t>(list->linkOffset));
}

void insert_first(List *list, void *elem) {
    link_of(list, elem) = list->first;
    list->first = elem;
    if (list->last == nullptr)
        list->last = elem;
    list->count += 1;
}

void insert_sorted(List *list, void *elem) {
    void *pred = nullptr;
    for (void *x = list->first; x != nullptr; x = link_of(list, x)) {
        if (list->compare(x, elem) >= 0)
            break;
        pred = x;
    }
    if (pred == nullptr) {
        insert_first(list, elem);
        return;
    }
    link_of(list, elem) = link_of(list, pred);
    link_of(list, pred) = elem;
    if (list->last == pred)
        list->last = elem;
    list->count += 1;
}

void *remove_after(List *list, void *pred) {
    void *victim;
    if (pred == nullptr) {
        victim = list->first;
        if (victim == nullptr)
            return nullptr;
        list->first = link_of(list, victim);
    } else {
        victim = link_of(list, pred);
        if (victim == nullptr)
            return nullptr;
        link_of(list, pred) = link_of(list, victim);
    }
    void *&victim_link = link_of(list, victim);
    if (list->cursor == victim)
        list->cursor = victim_link;
    if (list->last == victim)
        list->last = pred;
    victim_link = nullptr;
    list->count -= 1;
    return victim;
}

void start(List *list) { list->cursor = list->first; }

void *advance(List *list) {
    void *elem = list->cursor;
    if (elem != nullptr)
        list->cursor = link_of(list, elem);
    return elem;
}

}  // namespace

extern "C" void List_makeList(List *list, void *sample, void *sampleLink, List_compare_fn compare) {
    list->first = nullptr;
    list->last = nullptr;
    list->cursor = nullptr;
    list->count = 0;
    list->compare = compare;
    list->linkOffset = static_cast<intptr_t>(reinterpret_cast<uintptr_t>(sampleLink) -
                                             reinterpret_cast<uintptr_t>(sample));
}

extern "C" void List_insertFirst(List *list, void *elem) { insert_first(list, elem); }

extern "C" void List_insertLast(List *list, void *elem) {
    if (list->last != nullptr) {
        link_of(list, elem) = link_of(list, list->last);
        link_of(list, list->last) = elem;
    } else {
        link_of(list, elem) = list->first;
        list->first = elem;
    }
    list->last = elem;
    list->count += 1;
}

extern "C" void List_insertSorted(List *list, void *elem) { insert_sorted(list, elem); }

extern "C" void *List_removeAfter(List *list, void *pred) { return remove_after(list, pred); }

extern "C" void *List_removeFirst(List *list) { return remove_after(list, nullptr); }

extern "C" void *List_removeLast(List *list) {
    void *pred = nullptr;
    if (list->count != 1) {
        pred = list->first;
        for (int32_t i = 2; i < list->count; ++i)
            pred = link_of(list, pred);
    }
    return remove_after(list, pred);
}

extern "C" void List_push(List *list, void *elem) { insert_first(list, elem); }

extern "C" void *List_pop(List *list) { return remove_after(list, nullptr); }

extern "C" void *List_peek(List *list) { return list->first; }

extern "C" void *List_getFirst(List *list) { return list->first; }

extern "C" void *List_getLast(List *list) { return list->last; }

extern "C" int32_t List_getCount(List *list) { return list->count; }

extern "C" int32_t List_isEmpty(List *list) { return list->count == 0 ? 1 : 0; }

extern "C" void List_startIterate(List *list) { start(list); }

extern "C" void *List_getNext(List *list) { return advance(list); }

extern "C" int32_t List_hasMoreElements(List *list) { return list->cursor != nullptr ? 1 : 0; }

extern "C" void *List_getNextElem(List *list, void *elem) {
    return elem != nullptr ? link_of(list, elem) : nullptr;
}

extern "C" int32_t List_compareItems(List *list, void *a, void *b) { return list->compare(a, b); }

// One forward pass: the elements from first up to r are ascending with r the
// greatest, so an element that sorts before r goes back in front of r, behind
// the cursor, which has already moved past it.
extern "C" List *List_sortList(List *list) {
    start(list);
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

extern "C" List *List_mergeLists(List *list, List *second) {
    start(second);
    while (second->cursor != nullptr)
        insert_sorted(list, advance(second));
    return second;
}

extern "C" void List_appendList(List *list, List *second) {
    if (second->first == nullptr)
        return;
    if (list->last != nullptr)
        link_of(list, list->last) = second->first;
    else
        list->first = second->first;
    list->last = second->last;
    list->count += second->count;
}

extern "C" List *List_freeElements(List *list) {
    start(list);
    while (list->cursor != nullptr)
        free(advance(list));
    list->count = 0;
    list->first = nullptr;
    list->last = nullptr;
    return list;
}
