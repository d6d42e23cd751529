/* SPDX-License-Identifier: MIT */
// Intrusive links: pointer fields inside the caller's records, found by a
// byte distance from the record's address.  Shared by the singly and the
// doubly linked list, which differ only in how many links they keep and in
// what removal does to the cursor.
#ifndef LIBKRC_INTERNAL_LINK_H
#define LIBKRC_INTERNAL_LINK_H

#include <cstdint>
#include <cstring>

namespace krc {

// The byte distance from `record` to `field`, in pointer-wide unsigned
// arithmetic: neither pointer is dereferenced, and any distance, a negative
// one included, comes back out of Link's wrap-around addition unchanged.
inline intptr_t distance(const void *record, const void *field) {
    return static_cast<intptr_t>(reinterpret_cast<uintptr_t>(field) - reinterpret_cast<uintptr_t>(record));
}

// One link field, `offset` bytes from every element pointer.  The field is
// the caller's (a `struct job *`, say), so it is copied with memcpy rather
// than accessed as a `void *` object; at -O2 that is one load or store.
struct Link {
    intptr_t offset;

    void *get(const void *elem) const {
        void *value;
        memcpy(static_cast<void *>(&value), at(elem), sizeof value);
        return value;
    }
    void set(void *elem, void *value) const { memcpy(at(elem), static_cast<const void *>(&value), sizeof value); }

private:
    // Integer arithmetic: the sum may wrap around, which pointer arithmetic
    // may not.  The field is as const as the element (Void: void or const void).
    template <class Void>
    Void *at(Void *elem) const {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the address is computed as an integer on purpose
        return reinterpret_cast<Void *>(reinterpret_cast<uintptr_t>(elem) + static_cast<uintptr_t>(offset));
    }
};

// The walk of sorted insertion: the last element that sorts strictly before
// `elem`, or null when none does.  Calls compare(x, elem) once per element
// passed and once on the element it stops at; none on an empty list.
template <typename Header>
void *sorted_predecessor(const Header *list, Link next, void *elem) {
    void *pred = nullptr;
    for (void *x = list->first; x != nullptr; x = next.get(x)) {
        if (list->compare(x, elem) >= 0)
            break;
        pred = x;
    }
    return pred;
}

// The cursor steps: a walk starts on the first element, and each step reads
// the successor before handing out the element, so the caller may unlink
// and free what it was given.
template <typename Header>
void start(Header *list) {
    list->cursor = list->first;
}

template <typename Header>
void *advance(Header *list, Link next) {
    void *elem = list->cursor;
    if (elem != nullptr)
        list->cursor = next.get(elem);
    return elem;
}

}  // namespace krc

#endif
