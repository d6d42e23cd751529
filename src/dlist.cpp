// Intrusive doubly linked list.
//
// Insertion at the front and sorted insertion are built on insertion behind
// an element; removal at the ends and the release of all elements on removal
// of a given element.  Nothing here allocates or checks.
#include <libkrc/dlist.h>

#include <cstdint>
#include <cstdlib>

namespace {

// The field at `offset` bytes from elem.  The distance is added in unsigned
// pointer-wide arithmetic, which wraps around on a 32-bit target, so negative
// distances and records laid out around the element pointer work alike.
inline void *&field(void *elem, intptr_t offset) {
    return *reinterpret_cast<void **>(reinterpret_cast<uintptr_t>(elem) + static_cast<uintptr_t>(offset));
}
inline void *&next_of(const DList *list, void *elem) { return field(elem, list->nextOffset); }
inline void *&prev_of(const DList *list, void *elem) { return field(elem, list->prevOffset); }

inline intptr_t distance(const void *from, const void *to) {
    return static_cast<intptr_t>(reinterpret_cast<uintptr_t>(to) - reinterpret_cast<uintptr_t>(from));
}

void insert_after(DList *list, void *pred, void *elem) {
    if (pred != nullptr) {
        void *succ = next_of(list, pred);
        next_of(list, elem) = succ;
        next_of(list, pred) = elem;
        prev_of(list, elem) = pred;
        if (succ != nullptr)
            prev_of(list, succ) = elem;
    } else {
        void *succ = list->first;
        if (succ != nullptr)
            prev_of(list, succ) = elem;
        next_of(list, elem) = succ;
        prev_of(list, elem) = nullptr;
        list->first = elem;
    }
    if (list->last == pred)
        list->last = elem;
    list->count += 1;
}

void *remove_elem(DList *list, void *elem) {
    if (elem == nullptr)
        return nullptr;
    void *pred = prev_of(list, elem);
    void *succ = next_of(list, elem);
    next_of(list, elem) = nullptr;
    prev_of(list, elem) = nullptr;
    if (list->first == elem)
        list->first = succ;
    if (list->last == elem)
        list->last = pred;
    if (pred != nullptr)
        next_of(list, pred) = succ;
    if (succ != nullptr)
        prev_of(list, succ) = pred;
    list->count -= 1;
    return elem;
}

void start(DList *list) { list->cursor = list->first; }

void *advance(DList *list) {
    void *elem = list->cursor;
    if (elem != nullptr)
        list->cursor = next_of(list, elem);
    return elem;
}

}  // namespace

extern "C" void DList_makeDList(DList *list, void *sample, void *sampleNext, void *samplePrev,
                                DList_compare_fn compare) {
    list->first = nullptr;
    list->last = nullptr;
    list->cursor = nullptr;
    list->count = 0;
    list->compare = compare;
    list->nextOffset = distance(sample, sampleNext);
    list->prevOffset = distance(sample, samplePrev);
}

extern "C" void DList_insertAfter(DList *list, void *pred, void *elem) { insert_after(list, pred, elem); }

extern "C" void DList_insertFirst(DList *list, void *elem) { insert_after(list, nullptr, elem); }

extern "C" void DList_insertLast(DList *list, void *elem) {
    if (list->last != nullptr) {
        next_of(list, elem) = nullptr;
        prev_of(list, elem) = list->last;
        next_of(list, list->last) = elem;
    } else {
        list->first = elem;
        next_of(list, elem) = nullptr;
        prev_of(list, elem) = nullptr;
    }
    list->last = elem;
    list->count += 1;
}

extern "C" void DList_insertSorted(DList *list, void *elem) {
    void *pred = nullptr;
    for (void *x = list->first; x != nullptr; x = next_of(list, x)) {
        if (list->compare(x, elem) >= 0)
            break;
        pred = x;
    }
    insert_after(list, pred, elem);
}

extern "C" void *DList_remove(DList *list, void *elem) { return remove_elem(list, elem); }

extern "C" void *DList_removeFirst(DList *list) { return remove_elem(list, list->first); }

extern "C" void *DList_removeLast(DList *list) { return remove_elem(list, list->last); }

extern "C" void *DList_pop(DList *list) { return remove_elem(list, list->first); }

extern "C" void *DList_getFirst(DList *list) { return list->first; }

extern "C" void *DList_getLast(DList *list) { return list->last; }

extern "C" uint32_t DList_getCount(DList *list) { return list->count; }

extern "C" int32_t DList_isEmpty(DList *list) { return list->count == 0 ? 1 : 0; }

extern "C" void DList_startIterate(DList *list) { start(list); }

extern "C" void *DList_getNext(DList *list) { return advance(list); }

extern "C" int32_t DList_hasMoreElements(DList *list) { return list->cursor != nullptr ? 1 : 0; }

extern "C" int32_t DList_compareItems(DList *list, void *a, void *b) { return list->compare(a, b); }

// The cursor has moved past each element before it is removed and freed.
extern "C" DList *DList_freeElements(DList *list) {
    start(list);
    while (list->cursor != nullptr)
        free(remove_elem(list, advance(list)));
    list->count = 0;
    list->first = nullptr;
    list->last = nullptr;
    return list;
}
