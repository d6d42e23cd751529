// SPDX-License-Identifier: MIT
/// @file krc_lists.hpp
/// @brief Typed C++17 faces of the three lists: krc::list (generic list of
/// data pointers), krc::slist and krc::dlist (intrusive lists).
///
/// Header-only and inline over the C functions of llist.h, slist.h and
/// dlist.h: the objects are the C objects, a wrapper call is the C call, and
/// nothing is exported from the library for them.  No exceptions: a failure
/// is reported as the C function reports it (a null or false result, the
/// object unchanged), and a violated precondition aborts through the
/// library's own check.
#ifndef LIBKRC_KRC_LISTS_HPP
#define LIBKRC_KRC_LISTS_HPP

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>

#include <libkrc/dlist.h>
#include <libkrc/krc_detail.hpp>
#include <libkrc/llist.h>
#include <libkrc/slist.h>

namespace krc {

/// @brief A walk over linked nodes in one direction, yielding element pointers.
///
/// @tparam Node   the node type (a list_node_t or an intrusive record).
/// @tparam T      the element type; the iterator yields T *.
/// @tparam Step   reads the neighbour of a node in the walk's direction.
/// @tparam Value  reads the element pointer of a node.
template <class Node, class T, Node *(*Step)(Node *), T *(*Value)(Node *)>
class node_iterator {
public:
    using iterator_category = std::forward_iterator_tag;  ///< multi-pass, one direction
    using value_type = T *;                               ///< elements are pointers
    using difference_type = std::ptrdiff_t;               ///< distance type
    using pointer = void;                                 ///< no member access through the iterator
    using reference = T *;                                ///< dereferencing yields the pointer itself

    /// @brief The end position.
    node_iterator() noexcept = default;
    /// @brief The position of @p node; null is the end position.
    /// @param node a node of the list, or null.
    explicit node_iterator(Node *node) noexcept : node_(node) {}

    /// @return the element pointer at this position (not the end).
    T *operator*() const noexcept { return Value(node_); }
    /// @brief Steps to the neighbour; past the last one is the end position.
    /// @return this iterator.
    node_iterator &operator++() noexcept {
        node_ = Step(node_);
        return *this;
    }
    /// @brief Steps to the neighbour.
    /// @return the position before the step.
    node_iterator operator++(int) noexcept {  // NOLINT(cert-dcl21-cpp): non-const, as the standard iterators
        node_iterator before = *this;
        ++*this;
        return before;
    }
    /// @return the node at this position, null at the end.
    Node *node() const noexcept { return node_; }
    /// @return whether both designate the same position.
    friend bool operator==(node_iterator a, node_iterator b) noexcept { return a.node_ == b.node_; }
    /// @return whether the positions differ.
    friend bool operator!=(node_iterator a, node_iterator b) noexcept { return a.node_ != b.node_; }

private:
    Node *node_ = nullptr;
};

/// @brief A pair of iterators usable in a range-based for.
/// @tparam It the iterator type.
template <class It>
class range {
public:
    /// @param first the first position.
    /// @param last  the end position.
    range(It first, It last) noexcept : first_(first), last_(last) {}
    /// @return the first position.
    It begin() const noexcept { return first_; }
    /// @return the end position.
    It end() const noexcept { return last_; }

private:
    It first_;
    It last_;
};

/// @cond INTERNAL
namespace detail {
inline list_node_t *next_node(list_node_t *n) noexcept { return n->next; }
inline list_node_t *prev_node(list_node_t *n) noexcept { return n->prev; }
template <class T>
inline T *node_data(list_node_t *n) noexcept {
    return static_cast<T *>(n->data);
}
template <class T, auto Field>
inline T *field(T *e) noexcept {
    return e->*Field;
}
template <class T>
inline T *self(T *e) noexcept {
    return e;
}
}  // namespace detail
/// @endcond

/// @brief Owning, move-only handle of a generic list (llist.h) of T *.
///
/// The handle owns the list header and its nodes, never the elements: the
/// destructor releases the nodes and the header through the list's hooks
/// and hands no element to anyone (use clear(D) first for elements the list
/// should give back).  A list whose creation failed, and a moved-from one,
/// holds no list: operator bool is false.  Test it before use: on such a
/// handle an operation whose C function checks "lst != NULL" aborts there,
/// and one whose C function checks nothing (size, empty, the derived-list
/// copies) is not allowed.
///
/// Callables receive T * (null is a valid element).  Visitors, predicates
/// and find_if take any callable, captures included, and plain functions:
/// the callable goes through the C context pointer (by address, or, when it
/// is small, trivially copyable and const-callable, inside the pointer
/// itself) and is never allocated.  The C callbacks without a context
/// pointer (sort, map, copy and destructors) need a stateless one: an
/// empty function object, such as a lambda without captures.
///
/// @tparam T the element type; the list stores T *.
template <class T>
class list {
public:
    using value_type = T *;  ///< elements are pointers
    /// Walk from first to last.
    using iterator = node_iterator<list_node_t, T, detail::next_node, detail::node_data<T>>;
    /// Walk from last to first.
    using reverse_iterator = node_iterator<list_node_t, T, detail::prev_node, detail::node_data<T>>;

    /// @brief An empty list using malloc and free (one allocation).
    list() noexcept : l_(list_new(nullptr, nullptr)) {}
    /// @brief An empty list using the given hooks, taken over by every list
    /// derived from it.
    /// @param alloc_hook   allocation hook; null selects malloc.
    /// @param release_hook release hook; null selects free.
    list(list_alloc_fn alloc_hook, list_free_fn release_hook) noexcept : l_(list_new(alloc_hook, release_hook)) {}
    /// @brief Takes ownership of a C list (or of null).
    /// @param lst a list from list_new or a derived-list function, or null.
    /// @return the owning handle.
    static list adopt(list_t *lst) noexcept { return list(lst); }

    list(const list &) = delete;
    list &operator=(const list &) = delete;
    /// @brief Takes the list over; @p other is left holding none.
    /// @param other the list given up.
    list(list &&other) noexcept : l_(other.release()) {}
    /// @brief Releases this list, then takes @p other's over.
    /// @param other the list given up.
    /// @return this handle.
    list &operator=(list &&other) noexcept {
        if (this != &other) {
            list_free(l_, nullptr);
            l_ = other.release();
        }
        return *this;
    }
    /// @brief Releases the nodes and the header (list_free, no destructor).
    ~list() { list_free(l_, nullptr); }

    /// @return whether a list is held (creation succeeded, not moved from).
    explicit operator bool() const noexcept { return l_ != nullptr; }
    /// @return the C list, still owned by this handle.
    list_t *get() const noexcept { return l_; }
    /// @brief Gives the C list up to the caller.
    /// @return the C list, which the caller now releases with list_free.
    list_t *release() noexcept {
        list_t *lst = l_;
        l_ = nullptr;
        return lst;
    }

    /// @brief Appends @p e (list_add).
    /// @param e the element; may be null.
    /// @return false, the list unchanged, when the allocation hook fails.
    bool push_back(T *e) noexcept { return list_add(l_, detail::untyped(e)) != nullptr; }
    /// @brief Prepends @p e (list_insert).
    /// @param e the element; may be null.
    /// @return false, the list unchanged, when the allocation hook fails.
    bool push_front(T *e) noexcept { return list_insert(l_, detail::untyped(e)) != nullptr; }

    /// @return whether the list has no element.  O(1).
    bool empty() const noexcept { return list_empty(l_) != 0; }
    /// @return the number of elements, by walking the list.  O(n).
    std::uint32_t size() const noexcept { return list_size(l_); }
    /// @param index position from 0; asserts index < size().
    /// @return the element at @p index.  O(n).
    T *at(std::uint32_t index) const noexcept { return static_cast<T *>(list_at(l_, index)); }

    /// @return the first position (the end when empty).
    iterator begin() const noexcept { return iterator(list_first(l_).node); }
    /// @return the end position.
    iterator end() const noexcept { return iterator(); }
    /// @return the last position, for a walk backwards.
    reverse_iterator rbegin() const noexcept { return reverse_iterator(list_last(l_).node); }
    /// @return the end position of a backward walk.
    reverse_iterator rend() const noexcept { return reverse_iterator(); }
    /// @return the elements from last to first, for a range-based for.
    range<reverse_iterator> reversed() const noexcept { return {rbegin(), rend()}; }

    /// @param e the element to look for, by identity.
    /// @return the first position holding @p e, or end().
    iterator find(const T *e) const noexcept { return iterator(list_find_data(l_, detail::untyped(e))); }
    /// @param pred callable(T *) -> bool, called once per element up to the match.
    /// @return the first position whose element satisfies @p pred, or end().
    template <class Pred>
    iterator find_if(Pred &&pred) const {
        using F = std::remove_reference_t<Pred>;
        return iterator(list_find(l_, detail::context<F, T *>(pred), [](void *key, void *data) -> int {
            return detail::call<F, T *>(key, static_cast<T *>(data)) ? 0 : 1;
        }));
    }
    /// @param pred callable(T *) -> bool, called once per element.
    /// @return the number of elements satisfying @p pred.
    template <class Pred>
    std::uint32_t count_if(Pred &&pred) const {
        using F = std::remove_reference_t<Pred>;
        return list_count(l_, pred_thunk<F>, detail::context<F, T *>(pred));
    }

    /// @brief Calls @p f on every element, first to last (list_foreach).
    /// @param f callable(T *); returning false (or 0) stops the walk.
    /// @return false when @p f stopped the walk.
    template <class F>
    bool for_each(F &&f) const {
        using V = std::remove_reference_t<F>;
        return list_foreach(l_, detail::context<V, T *>(f), visit_thunk<V>) != 0;
    }
    /// @brief Calls @p f on every element, and @p sep between two of them
    /// (list_foreach_sep).
    /// @param f   callable(T *); returning false stops the walk.
    /// @param sep callable(); returning false stops the walk.
    /// @return false when a callable stopped the walk.
    template <class F, class Sep>
    bool for_each(F &&f, Sep &&sep) const {
        using V = std::remove_reference_t<F>;
        using S = std::remove_reference_t<Sep>;
        struct both {
            V &f;
            S &sep;
        } ctx{f, sep};
        return list_foreach_sep(
                   l_, &ctx,
                   [](void *c, void *data) { return detail::visit(static_cast<both *>(c)->f, static_cast<T *>(data)); },
                   [](void *c) { return detail::visit(static_cast<both *>(c)->sep); }) != 0;
    }
    /// @brief Calls @p f on every element, last to first (list_foreach_reversed).
    /// @param f callable(T *); returning false stops the walk.
    /// @return false when @p f stopped the walk.
    template <class F>
    bool for_each_reversed(F &&f) const {
        using V = std::remove_reference_t<F>;
        return list_foreach_reversed(l_, detail::context<V, T *>(f), visit_thunk<V>) != 0;
    }

    /// @brief Unlinks the node at @p pos (list_remove_node); its element is untouched.
    /// @param pos a position of this list, not the end.
    /// @return the position that followed it.
    iterator erase(iterator pos) noexcept { return iterator(list_remove_node(l_, pos.node())); }
    /// @brief Hands the element at @p pos to @p D, then unlinks it (list_delete).
    /// @tparam D stateless function object taking T *.
    /// @param pos a position of this list, not the end.
    /// @return the position that followed it.
    template <class D>
    iterator erase(iterator pos, D) noexcept {
        detail::require_stateless<D>();
        return iterator(list_delete(l_, pos.node(), destroy_thunk<D>));
    }
    /// @brief Removes every node; the elements are untouched.
    void clear() noexcept { list_clear(l_, nullptr); }
    /// @brief Hands every element to @p D, then removes every node (nothing
    /// is handed over by a sublist).
    /// @tparam D stateless function object taking T *.
    template <class D>
    void clear(D) noexcept {
        detail::require_stateless<D>();
        list_clear(l_, destroy_thunk<D>);
    }

    /// @brief Sorts in place, stable, by @p Less (list_sort); nodes stay put.
    /// @tparam Less stateless function object: (T *, T *) -> bool "a before b",
    ///              or a three-way comparison returning a signed integer.
    template <class Less>
    void sort() noexcept {
        detail::require_stateless<Less>();
        list_sort(l_, order_thunk<Less>);
    }
    /// @brief As sort<Less>(), the ordering given as an object (a lambda
    /// without captures, say).
    /// @tparam Less as for sort<Less>().
    template <class Less>
    void sort(Less) noexcept {
        sort<Less>();
    }

    /// @param pred callable(T *) -> bool.
    /// @return a sublist of the elements satisfying @p pred (sublist_create);
    ///         holds none when an allocation failed.
    template <class Pred>
    list filter(Pred &&pred) const {
        using F = std::remove_reference_t<Pred>;
        return list(sublist_create(l_, pred_thunk<F>, detail::context<F, T *>(pred)));
    }
    /// @param pred callable(T *) -> bool.
    /// @return a sublist of the elements not satisfying @p pred
    ///         (sublist_create_neg); holds none when an allocation failed.
    template <class Pred>
    list filter_out(Pred &&pred) const {
        using F = std::remove_reference_t<Pred>;
        return list(sublist_create_neg(l_, pred_thunk<F>, detail::context<F, T *>(pred)));
    }
    /// @return a sublist sharing every element (sublist_copy); holds none
    ///         when an allocation failed.
    list share() const noexcept { return list(sublist_copy(l_)); }
    /// @tparam Adaptor stateless function object: T * -> U *.
    /// @return a sublist of the adaptor's results (sublist_adaptor); holds
    ///         none when an allocation failed.
    template <class Adaptor>
    auto map() const noexcept {
        detail::require_stateless<Adaptor>();
        using R = std::invoke_result_t<Adaptor, T *>;
        static_assert(std::is_pointer_v<R>, "the adaptor returns a pointer");
        using U = std::remove_pointer_t<R>;
        return list<U>::adopt(sublist_adaptor(l_, [](void *data) {
            return detail::untyped(detail::stateless<Adaptor>()(static_cast<T *>(data)));
        }));
    }
    /// @brief As map<Adaptor>(), the adaptor given as an object.
    /// @tparam Adaptor as for map<Adaptor>().
    /// @return as map<Adaptor>().
    template <class Adaptor>
    auto map(Adaptor) const noexcept {
        return map<Adaptor>();
    }
    /// @brief Deep copy (list_copy): a new ordinary list of copies.
    /// @tparam Copier     stateless function object: T * -> T * (null is a failure).
    /// @tparam Destructor stateless function object taking T *; on failure it
    ///                    receives every copy already made.
    /// @return the copy; holds none when a copy or an allocation failed.
    template <class Copier, class Destructor>
    list copy() const noexcept {
        detail::require_stateless<Copier>();
        detail::require_stateless<Destructor>();
        return list(list_copy(
            l_, [](void *data) { return detail::untyped(detail::stateless<Copier>()(static_cast<T *>(data))); },
            destroy_thunk<Destructor>));
    }
    /// @brief As copy<Copier, Destructor>(), the callables given as objects.
    /// @tparam Copier     as for copy<Copier, Destructor>().
    /// @tparam Destructor as for copy<Copier, Destructor>().
    /// @return as copy<Copier, Destructor>().
    template <class Copier, class Destructor>
    list copy(Copier, Destructor) const noexcept {
        return copy<Copier, Destructor>();
    }
    /// @brief Appends @p other's elements and releases it (list_merge).
    /// @param other a different list; left holding none on success.
    /// @return false when an allocation failed: this list keeps what was
    ///         appended so far and @p other keeps its elements.
    bool append(list &&other) noexcept {
        if (list_merge(l_, other.l_) == nullptr)
            return false;
        other.l_ = nullptr;
        return true;
    }

private:
    explicit list(list_t *lst) noexcept : l_(lst) {}

    template <class F>
    static unsigned int pred_thunk(void *data, void *ctx) {
        return detail::call<F, T *>(ctx, static_cast<T *>(data)) ? 1u : 0u;
    }
    template <class F>
    static unsigned int visit_thunk(void *ctx, void *data) {
        return detail::call_visitor<F, T *>(ctx, static_cast<T *>(data));
    }
    template <class D>
    static void destroy_thunk(void *data) {
        detail::stateless<D>()(static_cast<T *>(data));
    }
    template <class Less>
    static int order_thunk(void *a, void *b) {
        using R = std::invoke_result_t<Less, T *, T *>;
        if constexpr (std::is_same_v<R, bool>)
            return detail::stateless<Less>()(static_cast<T *>(b), static_cast<T *>(a)) ? 1 : 0;
        else
            return detail::three_way<Less, T *>(static_cast<T *>(a), static_cast<T *>(b));
    }

    list_t *l_;
};

/// @cond INTERNAL
namespace detail {
// The link member of an intrusive list must be a pointer to the record itself.
template <class T, auto Link>
inline constexpr bool is_link_v = std::is_same_v<decltype(Link), T *T::*>;

struct no_order {};

template <class T, class Compare>
inline std::int32_t intrusive_compare(void *a, void *b) {
    return three_way<Compare, const T &>(*static_cast<T *>(a), *static_cast<T *>(b));
}

template <class T, class Compare, class Fn>
inline Fn compare_fn() noexcept {
    if constexpr (std::is_same_v<Compare, no_order>) {
        return nullptr;
    } else {
        require_stateless<Compare>();
        return intrusive_compare<T, Compare>;
    }
}
}  // namespace detail
/// @endcond

/// @brief Intrusive singly linked list (slist.h) of records linked through
/// @p Link, a `T *` member of T.
///
/// The byte distance of the link member is taken from the member pointer at
/// compile time; a link member of any other type than `T *` is rejected at
/// compile time.  The object is the C header: it owns nothing, never
/// allocates, and its records stay the caller's (they may be linked when the
/// header goes away).  Copying would give two headers of one chain, so a
/// list can only be moved, which leaves the source empty.
///
/// @tparam T       the record type.
/// @tparam Link    pointer to the link member, `&T::link`.
/// @tparam Compare stateless function object ordering records for the
///                 sorted operations: (const T &, const T &) -> bool "a
///                 before b" (two calls where the C side needs a sign), or a
///                 three-way comparison returning a signed integer (one call).
///                 Omitted: the sorted operations do not compile.
template <class T, auto Link, class Compare = detail::no_order>
class slist {
    static_assert(detail::is_link_v<T, Link>, "the link member of an intrusive list must have type T *");

public:
    /// Walk from first to last.
    using iterator = node_iterator<T, T, detail::field<T, Link>, detail::self<T>>;

    /// @return the byte distance from a record to its link member.
    static std::intptr_t link_offset() noexcept { return detail::member_offset<Link>(); }

    /// @brief An empty list (List_makeList).
    slist() noexcept { init(); }
    slist(const slist &) = delete;
    slist &operator=(const slist &) = delete;
    /// @brief Takes @p other's chain over; @p other is left empty.
    /// @param other the list given up.
    slist(slist &&other) noexcept : h_(other.h_) { other.init(); }
    /// @brief Takes @p other's chain over (this list's records are simply
    /// unlinked from the header); @p other is left empty.
    /// @param other the list given up.
    /// @return this list.
    slist &operator=(slist &&other) noexcept {
        if (this != &other) {
            h_ = other.h_;
            other.init();
        }
        return *this;
    }

    /// @return the C header.
    List *get() noexcept { return &h_; }

    /// @param e record to link in front (List_insertFirst).
    void push_front(T *e) noexcept { List_insertFirst(&h_, e); }
    /// @param e record to link behind the last one (List_insertLast).
    void push_back(T *e) noexcept { List_insertLast(&h_, e); }
    /// @param e record to link at its ascending position, in front of its
    ///          equals (List_insertSorted).
    void insert_sorted(T *e) noexcept {
        require_order();
        List_insertSorted(&h_, e);
    }
    /// @return the first record, unlinked, or null when empty (List_removeFirst).
    T *pop_front() noexcept { return static_cast<T *>(List_removeFirst(&h_)); }
    /// @return the last record, unlinked, or null when empty (List_removeLast, O(n)).
    T *pop_back() noexcept { return static_cast<T *>(List_removeLast(&h_)); }
    /// @param pred a record of this list, or null for the front.
    /// @return the record after @p pred, unlinked, or null when there is none
    ///         (List_removeAfter).
    T *erase_after(T *pred) noexcept { return static_cast<T *>(List_removeAfter(&h_, pred)); }

    /// @return the first record, or null.
    T *front() const noexcept { return static_cast<T *>(h_.first); }
    /// @return the last record, or null.
    T *back() const noexcept { return static_cast<T *>(h_.last); }
    /// @return the number of records.
    std::int32_t size() const noexcept { return h_.count; }
    /// @return whether no record is linked.
    bool empty() const noexcept { return h_.count == 0; }

    /// @return the first position.
    iterator begin() const noexcept { return iterator(front()); }
    /// @return the end position.
    iterator end() const noexcept { return iterator(); }

    /// @brief Sorts ascending in place, not stable (List_sortList).
    void sort() noexcept {
        require_order();
        List_sortList(&h_);
    }
    /// @brief Moves every record of @p other in by sorted insertion
    /// (List_mergeLists); @p other is left empty.
    /// @param other a different list of the same type.
    void merge(slist &other) noexcept {
        require_order();
        List_mergeLists(&h_, &other.h_);
        other.init();
    }
    /// @brief Appends @p other's chain in O(1) (List_appendList); @p other is
    /// left empty.
    /// @param other a different list of the same type.
    void splice_back(slist &other) noexcept {
        List_appendList(&h_, &other.h_);
        other.init();
    }
    /// @brief Passes every record to free and leaves the list empty
    /// (List_freeElements): only for records from malloc or calloc.
    void free_elements() noexcept { List_freeElements(&h_); }

private:
    void init() noexcept {
        List_makeList(&h_, &h_, detail::displaced(&h_, link_offset()),
                      detail::compare_fn<T, Compare, List_compare_fn>());
    }
    static void require_order() noexcept {
        static_assert(!std::is_same_v<Compare, detail::no_order>, "sorted operations need a Compare argument");
    }

    List h_;
};

/// @brief Intrusive doubly linked list (dlist.h) of records linked through
/// @p Next and @p Prev, two `T *` members of T.
///
/// Byte distances come from the member pointers at compile time; members of
/// any other type than `T *` are rejected at compile time.  The object is the
/// C header: it owns nothing and never allocates.  Move-only, as krc::slist.
///
/// @tparam T       the record type.
/// @tparam Next    pointer to the next member, `&T::next`.
/// @tparam Prev    pointer to the prev member, `&T::prev`.
/// @tparam Compare stateless ordering for insert_sorted, as for krc::slist.
template <class T, auto Next, auto Prev, class Compare = detail::no_order>
class dlist {
    static_assert(detail::is_link_v<T, Next>, "the next member of an intrusive list must have type T *");
    static_assert(detail::is_link_v<T, Prev>, "the prev member of an intrusive list must have type T *");

public:
    /// Walk from first to last.
    using iterator = node_iterator<T, T, detail::field<T, Next>, detail::self<T>>;
    /// Walk from last to first.
    using reverse_iterator = node_iterator<T, T, detail::field<T, Prev>, detail::self<T>>;

    /// @return the byte distance from a record to its next member.
    static std::intptr_t next_offset() noexcept { return detail::member_offset<Next>(); }
    /// @return the byte distance from a record to its prev member.
    static std::intptr_t prev_offset() noexcept { return detail::member_offset<Prev>(); }

    /// @brief An empty list (DList_makeDList).
    dlist() noexcept { init(); }
    dlist(const dlist &) = delete;
    dlist &operator=(const dlist &) = delete;
    /// @brief Takes @p other's chain over; @p other is left empty.
    /// @param other the list given up.
    dlist(dlist &&other) noexcept : h_(other.h_) { other.init(); }
    /// @brief Takes @p other's chain over; @p other is left empty.
    /// @param other the list given up.
    /// @return this list.
    dlist &operator=(dlist &&other) noexcept {
        if (this != &other) {
            h_ = other.h_;
            other.init();
        }
        return *this;
    }

    /// @return the C header.
    DList *get() noexcept { return &h_; }

    /// @param e record to link in front (DList_insertFirst).
    void push_front(T *e) noexcept { DList_insertFirst(&h_, e); }
    /// @param e record to link behind the last one (DList_insertLast).
    void push_back(T *e) noexcept { DList_insertLast(&h_, e); }
    /// @param pred a record of this list, or null for the front.
    /// @param e    record to link behind @p pred (DList_insertAfter).
    void insert_after(T *pred, T *e) noexcept { DList_insertAfter(&h_, pred, e); }
    /// @param e record to link at its ascending position (DList_insertSorted).
    void insert_sorted(T *e) noexcept {
        static_assert(!std::is_same_v<Compare, detail::no_order>, "sorted operations need a Compare argument");
        DList_insertSorted(&h_, e);
    }
    /// @param e a record of this list, or null.
    /// @return @p e, unlinked (DList_remove).
    T *erase(T *e) noexcept { return static_cast<T *>(DList_remove(&h_, e)); }
    /// @return the first record, unlinked, or null when empty.
    T *pop_front() noexcept { return static_cast<T *>(DList_removeFirst(&h_)); }
    /// @return the last record, unlinked, or null when empty.
    T *pop_back() noexcept { return static_cast<T *>(DList_removeLast(&h_)); }

    /// @return the first record, or null.
    T *front() const noexcept { return static_cast<T *>(h_.first); }
    /// @return the last record, or null.
    T *back() const noexcept { return static_cast<T *>(h_.last); }
    /// @return the number of records.
    std::uint32_t size() const noexcept { return h_.count; }
    /// @return whether no record is linked.
    bool empty() const noexcept { return h_.count == 0; }

    /// @return the first position.
    iterator begin() const noexcept { return iterator(front()); }
    /// @return the end position.
    iterator end() const noexcept { return iterator(); }
    /// @return the last position, for a walk backwards.
    reverse_iterator rbegin() const noexcept { return reverse_iterator(back()); }
    /// @return the end position of a backward walk.
    reverse_iterator rend() const noexcept { return reverse_iterator(); }
    /// @return the records from last to first, for a range-based for.
    range<reverse_iterator> reversed() const noexcept { return {rbegin(), rend()}; }

    /// @brief Passes every record to free and leaves the list empty
    /// (DList_freeElements): only for records from malloc or calloc.
    void free_elements() noexcept { DList_freeElements(&h_); }

private:
    void init() noexcept {
        DList_makeDList(&h_, &h_, detail::displaced(&h_, next_offset()), detail::displaced(&h_, prev_offset()),
                        detail::compare_fn<T, Compare, DList_compare_fn>());
    }

    DList h_;
};

}  // namespace krc

#endif
