// SPDX-License-Identifier: MIT
/// @file krc_lists.hpp
/// @brief Typed C++17 faces of the three lists: krc::list (generic list of
/// data pointers), krc::slist and krc::dlist (intrusive lists).
///
/// Header-only and inline over the C functions of llist.h, slist.h and
/// dlist.h: the objects are the C objects, a wrapper call is the C call, and
/// nothing is exported from the library for them.  A failure is reported as
/// the C function reports it (a null or false result, the object unchanged),
/// and a violated precondition aborts through the library's own check.
/// Callables follow the rules of krc_detail.hpp.
#ifndef LIBKRC_KRC_LISTS_HPP
#define LIBKRC_KRC_LISTS_HPP

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>
#include <utility>

#include <libkrc/dlist.h>
#include <libkrc/krc_detail.hpp>
#include <libkrc/llist.h>
#include <libkrc/slist.h>

namespace krc {

/// @cond INTERNAL
namespace detail {

// A walk over linked nodes in one direction, yielding element pointers: Step
// reads the neighbour of a node, Value the element pointer of a node.
template <class Node, class T, Node *(*Step)(Node *), T *(*Value)(Node *)>
class node_iterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T *;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = T *;

    node_iterator() noexcept = default;
    explicit node_iterator(Node *node) noexcept : node_(node) {}

    T *operator*() const noexcept { return Value(node_); }
    node_iterator &operator++() noexcept {
        node_ = Step(node_);
        return *this;
    }
    node_iterator operator++(int) noexcept {  // NOLINT(cert-dcl21-cpp): non-const, as the standard iterators
        node_iterator before = *this;
        ++*this;
        return before;
    }
    Node *node() const noexcept { return node_; }
    friend bool operator==(node_iterator a, node_iterator b) noexcept { return a.node_ == b.node_; }
    friend bool operator!=(node_iterator a, node_iterator b) noexcept { return a.node_ != b.node_; }

private:
    Node *node_ = nullptr;
};

// A pair of iterators usable in a range-based for.
template <class It>
class range {
public:
    range(It first, It last) noexcept : first_(first), last_(last) {}
    It begin() const noexcept { return first_; }
    It end() const noexcept { return last_; }

private:
    It first_;
    It last_;
};

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
inline void free_list(list_t *lst) noexcept { list_free(lst, nullptr); }
using list_traits = pointer_traits<list_t, free_list>;
}  // namespace detail
/// @endcond

/// @brief Owning, move-only handle of a generic list (llist.h) of T *.
///
/// The handle owns the list header and its nodes, never the elements: the
/// destructor releases the nodes and the header through the list's hooks
/// and hands no element to anyone (use clear(D) first for elements the list
/// should give back).  A list whose creation failed, and a moved-from one,
/// holds no list: operator bool is false, size() is 0 and empty() is true.
/// Test it before anything else: on such a handle an operation whose C
/// function checks "lst != NULL" aborts there, and the others are not
/// allowed.
///
/// Callables receive T * (null is a valid element) and follow the rules of
/// krc_detail.hpp: visitors, predicates and find_if use the caller's callable
/// in place; sort, map, copy and the destructors take an empty function
/// object.  When a callable throws, the exception reaches the caller after
/// the C call; each operation says in what state it leaves the list.
///
/// @tparam T the element type; the list stores T *.
template <class T>
class list : public detail::owner<detail::list_traits> {
    using base = detail::owner<detail::list_traits>;

public:
    using value_type = T *;  ///< elements are pointers
    using size_type = krc::size_type;  ///< counts and positions
    /// Walk from first to last.
    using iterator = detail::node_iterator<list_node_t, T, detail::next_node, detail::node_data<T>>;
    /// Walk from last to first.
    using reverse_iterator = detail::node_iterator<list_node_t, T, detail::prev_node, detail::node_data<T>>;

    /// @brief An empty list using malloc and free (one allocation).
    list() noexcept : base(list_new(nullptr, nullptr)) {}
    /// @brief An empty list using the given hooks, taken over by every list
    /// derived from it.
    /// @param alloc_hook   allocation hook; null selects malloc.
    /// @param release_hook release hook; null selects free.
    list(list_alloc_fn alloc_hook, list_free_fn release_hook) noexcept : base(list_new(alloc_hook, release_hook)) {}
    /// @brief Takes ownership of a C list (or of null).
    /// @param lst a list from list_new or a derived-list function, or null.
    /// @return the owning handle.
    static list adopt(list_t *lst) noexcept { return list(lst); }

    /// @return the C list, still owned by this handle.
    list_t *get() const noexcept { return h_; }
    /// @brief Gives the C list up to the caller.
    /// @return the C list, which the caller now releases with list_free.
    list_t *release() noexcept { return std::exchange(h_, nullptr); }

    /// @brief Appends @p e (list_add).
    /// @param e the element; may be null.
    /// @return false, the list unchanged, when the allocation hook fails.
    bool push_back(T *e) noexcept { return list_add(h_, detail::untyped(e)) != nullptr; }
    /// @brief Prepends @p e (list_insert).
    /// @param e the element; may be null.
    /// @return false, the list unchanged, when the allocation hook fails.
    bool push_front(T *e) noexcept { return list_insert(h_, detail::untyped(e)) != nullptr; }
    /// @return the first element; asserts the list is not empty (list_get).
    T *front() const noexcept { return static_cast<T *>(list_get(list_first(h_))); }
    /// @return the last element; asserts the list is not empty (list_get).
    T *back() const noexcept { return static_cast<T *>(list_get(list_last(h_))); }
    /// @brief Unlinks the first node (list_remove_node); asserts the list is
    /// not empty.
    /// @return its element.
    T *pop_front() noexcept {
        const list_iter_t first = list_first(h_);
        T *e = static_cast<T *>(list_get(first));
        list_remove_node(h_, first.node);
        return e;
    }

    /// @return whether the list has no element (true when none is held).  O(1).
    bool empty() const noexcept { return h_ == nullptr || list_empty(h_) != 0; }
    /// @return the number of elements, by walking the list (0 when none is
    ///         held).  O(n).
    size_type size() const noexcept { return h_ != nullptr ? list_size(h_) : 0u; }
    /// @param index position from 0; asserts index < size().
    /// @return the element at @p index.  O(n).
    T *at(size_type index) const noexcept { return static_cast<T *>(list_at(h_, index)); }

    /// @return the first position (the end when empty).
    iterator begin() const noexcept { return iterator(list_first(h_).node); }
    /// @return the end position.
    iterator end() const noexcept { return iterator(); }
    /// @return the last position, for a walk backwards.
    reverse_iterator rbegin() const noexcept { return reverse_iterator(list_last(h_).node); }
    /// @return the end position of a backward walk.
    reverse_iterator rend() const noexcept { return reverse_iterator(); }
    /// @return the elements from last to first, for a range-based for.
    detail::range<reverse_iterator> reversed() const noexcept { return {rbegin(), rend()}; }

    /// @param e the element to look for, by identity.
    /// @return the first position holding @p e, or end().
    iterator find(const T *e) const noexcept { return iterator(list_find_data(h_, detail::untyped(e))); }
    /// @param pred callable(T *) -> bool, called once per element up to the
    ///             match; on a throw the walk stops there.
    /// @return the first position whose element satisfies @p pred, or end().
    template <class Pred>
    iterator find_if(Pred &&pred) const {
        using F = std::remove_reference_t<Pred>;
        detail::scope<detail::may_throw_v<F &, T *>> s;
        list_node_t *n = list_find(h_, detail::context(pred), match_thunk<F>);
        s.finish();
        return iterator(n);
    }
    /// @param pred callable(T *) -> bool, called once per element (no more
    ///             after a throw).
    /// @return the number of elements satisfying @p pred.
    template <class Pred>
    size_type count_if(Pred &&pred) const {
        using F = std::remove_reference_t<Pred>;
        detail::scope<detail::may_throw_v<F &, T *>> s;
        const size_type n = list_count(h_, pred_thunk<F>, detail::context(pred));
        s.finish();
        return n;
    }

    /// @brief Calls @p f on every element, first to last (list_foreach).
    /// The list is unchanged; a throw stops the walk.
    /// @param f callable(T *); returning false (or 0) stops the walk.
    /// @return false when @p f stopped the walk.
    template <class F>
    bool for_each(F &&f) const {
        using V = std::remove_reference_t<F>;
        detail::scope<detail::may_throw_v<V &, T *>> s;
        const int r = list_foreach(h_, detail::context(f), visit_thunk<V>);
        s.finish();
        return r != 0;
    }
    /// @brief Calls @p f on every element, and @p sep between two of them
    /// (list_foreach_sep).  The list is unchanged; a throw stops the walk.
    /// @param f   callable(T *); returning false stops the walk.
    /// @param sep callable(); returning false stops the walk.
    /// @return false when a callable stopped the walk.
    template <class F, class Sep>
    bool for_each(F &&f, Sep &&sep) const {
        using V = std::remove_reference_t<F>;
        using S = std::remove_reference_t<Sep>;
        constexpr bool shielded = detail::may_throw_v<V &, T *> || detail::may_throw_v<S &>;
        struct both {
            V &f;
            S &sep;
        } ctx{f, sep};
        detail::scope<shielded> s;
        const int r = list_foreach_sep(
            h_, &ctx,
            [](void *c, void *data) {
                return detail::shielded<shielded, true>(0u, [&] { return detail::visit(static_cast<both *>(c)->f, static_cast<T *>(data)); });
            },
            [](void *c) { return detail::shielded<shielded, true>(0u, [&] { return detail::visit(static_cast<both *>(c)->sep); }); });
        s.finish();
        return r != 0;
    }
    /// @brief Calls @p f on every element, last to first
    /// (list_foreach_reversed).  The list is unchanged; a throw stops the walk.
    /// @param f callable(T *); returning false stops the walk.
    /// @return false when @p f stopped the walk.
    template <class F>
    bool for_each_reversed(F &&f) const {
        using V = std::remove_reference_t<F>;
        detail::scope<detail::may_throw_v<V &, T *>> s;
        const int r = list_foreach_reversed(h_, detail::context(f), visit_thunk<V>);
        s.finish();
        return r != 0;
    }

    /// @brief Unlinks the node at @p pos (list_remove_node); its element is untouched.
    /// @param pos a position of this list, not the end.
    /// @return the position that followed it.
    iterator erase(iterator pos) noexcept { return iterator(list_remove_node(h_, pos.node())); }
    /// @brief Hands the element at @p pos to @p D, then unlinks it
    /// (list_delete).  The node is unlinked even when @p D throws.
    /// @tparam D empty function object taking T *.
    /// @param pos a position of this list, not the end.
    /// @return the position that followed it.
    template <class D>
    iterator erase(iterator pos, D) {
        detail::require_stateless<D>();
        detail::scope<detail::may_throw_v<const D &, T *>> s;
        list_node_t *next = list_delete(h_, pos.node(), destroy_thunk<D>);
        s.finish();
        return iterator(next);
    }
    /// @brief Removes every node; the elements are untouched.
    void clear() noexcept { list_clear(h_, nullptr); }
    /// @brief Hands every element to @p D, then removes every node (nothing
    /// is handed over by a sublist).  When @p D throws, it still receives
    /// every element and the list ends empty.
    /// @tparam D empty function object taking T *.
    template <class D>
    void clear(D) {
        detail::require_stateless<D>();
        detail::scope<detail::may_throw_v<const D &, T *>> s;
        list_clear(h_, destroy_thunk<D>);
        s.finish();
    }

    /// @brief Sorts in place, stable, by @p Less (list_sort); nodes stay put.
    /// When @p Less throws, the elements are left in some order, each once.
    /// @tparam Less empty function object: (T *, T *) -> bool "a before b",
    ///              or a three-way comparison returning a signed integer.
    template <class Less>
    void sort() {
        detail::require_stateless<Less>();
        static_assert(detail::is_ordering_v<Less, T *>,
                      "a list's ordering is called as less(T *, T *) and returns bool (a before b) "
                      "or a signed integer (three-way)");
        if constexpr (detail::is_ordering_v<Less, T *>) {
            detail::scope<detail::may_throw_v<const Less &, T *, T *>> s;
            list_sort(h_, order_thunk<Less>);
            s.finish();
        }
    }
    /// @brief As sort<Less>(), the ordering given as an object (a lambda
    /// without captures, say).
    /// @tparam Less as for sort<Less>().
    template <class Less>
    void sort(Less) {
        sort<Less>();
    }

    /// @param pred callable(T *) -> bool; after a throw nothing is kept.
    /// @return a sublist of the elements satisfying @p pred (sublist_create);
    ///         holds none when an allocation failed.
    template <class Pred>
    list filter(Pred &&pred) const {
        using F = std::remove_reference_t<Pred>;
        detail::scope<detail::may_throw_v<F &, T *>> s;
        list out(sublist_create(h_, pred_thunk<F>, detail::context(pred)));
        s.finish();
        return out;
    }
    /// @param pred callable(T *) -> bool; after a throw nothing is kept.
    /// @return a sublist of the elements not satisfying @p pred
    ///         (sublist_create_neg); holds none when an allocation failed.
    template <class Pred>
    list filter_out(Pred &&pred) const {
        using F = std::remove_reference_t<Pred>;
        detail::scope<detail::may_throw_v<F &, T *>> s;
        list out(sublist_create_neg(h_, pred_thunk<F>, detail::context(pred)));
        s.finish();
        return out;
    }
    /// @return a sublist sharing every element (sublist_copy); holds none
    ///         when an allocation failed.
    list share() const noexcept { return list(sublist_copy(h_)); }
    /// @tparam Adaptor empty function object: T * -> U *.
    /// @return a sublist of the adaptor's results (sublist_adaptor); holds
    ///         none when an allocation failed.  After a throw the partial
    ///         sublist is released.
    template <class Adaptor>
    auto map() const {
        detail::require_stateless<Adaptor>();
        using R = std::invoke_result_t<const Adaptor &, T *>;
        static_assert(std::is_pointer_v<R>, "the adaptor returns a pointer");
        using U = std::remove_pointer_t<R>;
        constexpr bool shielded = detail::may_throw_v<const Adaptor &, T *>;
        detail::scope<shielded> s;
        auto out = list<U>::adopt(sublist_adaptor(h_, [](void *data) {
            return detail::shielded<shielded, false>(static_cast<void *>(nullptr), [&] {
                return detail::untyped(detail::stateless<Adaptor>()(static_cast<T *>(data)));
            });
        }));
        s.finish();
        return out;
    }
    /// @brief As map<Adaptor>(), the adaptor given as an object.
    /// @tparam Adaptor as for map<Adaptor>().
    /// @return as map<Adaptor>().
    template <class Adaptor>
    auto map(Adaptor) const {
        return map<Adaptor>();
    }
    /// @brief Deep copy (list_copy): a new ordinary list of copies.  A throw
    /// from @p Copier counts as a failed copy: @p Destructor receives every
    /// copy already made.
    /// @tparam Copier     empty function object: T * -> T * (null is a failure).
    /// @tparam Destructor empty function object taking T *; on failure it
    ///                    receives every copy already made.
    /// @return the copy; holds none when a copy or an allocation failed.
    template <class Copier, class Destructor>
    list copy() const {
        detail::require_stateless<Copier>();
        detail::require_stateless<Destructor>();
        constexpr bool shielded =
            detail::may_throw_v<const Copier &, T *> || detail::may_throw_v<const Destructor &, T *>;
        detail::scope<shielded> s;
        list out(list_copy(
            h_,
            [](void *data) {
                return detail::shielded<shielded, true>(static_cast<void *>(nullptr), [&] {
                    return detail::untyped(detail::stateless<Copier>()(static_cast<T *>(data)));
                });
            },
            destroy_thunk<Destructor>));
        s.finish();
        return out;
    }
    /// @brief As copy<Copier, Destructor>(), the callables given as objects.
    /// @tparam Copier     as for copy<Copier, Destructor>().
    /// @tparam Destructor as for copy<Copier, Destructor>().
    /// @return as copy<Copier, Destructor>().
    template <class Copier, class Destructor>
    list copy(Copier, Destructor) const {
        return copy<Copier, Destructor>();
    }
    /// @brief Appends @p other's elements and releases it (list_merge).
    /// @param other a different list; left holding none on success.
    /// @return false when an allocation failed: this list keeps what was
    ///         appended so far and @p other keeps its elements.
    bool append(list &&other) noexcept {
        if (list_merge(h_, other.h_) == nullptr)
            return false;
        other.h_ = nullptr;
        return true;
    }

private:
    explicit list(list_t *lst) noexcept : base(lst) {}

    template <class F>
    static unsigned int pred_thunk(void *data, void *ctx) {
        return detail::shielded<detail::may_throw_v<F &, T *>, false>(
            0u, [&] { return detail::in_place<F>(ctx)(static_cast<T *>(data)) ? 1u : 0u; });
    }
    template <class F>
    static int match_thunk(void *ctx, void *data) {
        return detail::shielded<detail::may_throw_v<F &, T *>, true>(
            0, [&] { return detail::in_place<F>(ctx)(static_cast<T *>(data)) ? 0 : 1; });
    }
    template <class F>
    static unsigned int visit_thunk(void *ctx, void *data) {
        return detail::shielded<detail::may_throw_v<F &, T *>, true>(
            0u, [&] { return detail::visit(detail::in_place<F>(ctx), static_cast<T *>(data)); });
    }
    template <class D>
    static void destroy_thunk(void *data) {
        detail::shielded_always<detail::may_throw_v<const D &, T *>>(
            [&] { detail::stateless<D>()(static_cast<T *>(data)); });
    }
    template <class Less>
    static int order_thunk(void *a, void *b) {
        return detail::shielded<detail::may_throw_v<const Less &, T *, T *>, false>(0, [&]() -> int {
            using R = std::invoke_result_t<const Less &, T *, T *>;
            if constexpr (std::is_same_v<R, bool>)
                return detail::stateless<Less>()(static_cast<T *>(b), static_cast<T *>(a)) ? 1 : 0;
            else
                return detail::three_way<Less, T *>(static_cast<T *>(a), static_cast<T *>(b));
        });
    }
};

/// @cond INTERNAL
namespace detail {
struct no_order {};

// Whether Compare orders records of T: (const T &, const T &) -> bool or a
// signed integer.
template <class T, class Compare>
inline constexpr bool check_order() noexcept {
    if constexpr (!std::is_same_v<Compare, no_order>) {
        require_stateless<Compare>();
        static_assert(is_ordering_v<Compare, const T &>,
                      "an intrusive list's Compare is called as compare(const T &, const T &) and returns bool "
                      "(a before b) or a signed integer (three-way)");
    }
    return true;
}

template <class T, class Compare>
inline std::int32_t intrusive_compare(void *a, void *b) {
    return shielded<may_throw_v<const Compare &, const T &, const T &>, false>(std::int32_t{0}, [&] {
        return three_way<Compare, const T &>(*static_cast<T *>(a), *static_cast<T *>(b));
    });
}

template <class T, class Compare, class Fn>
inline Fn compare_fn() noexcept {
    if constexpr (std::is_same_v<Compare, no_order> || !is_ordering_v<Compare, const T &>)
        return nullptr;
    else
        return intrusive_compare<T, Compare>;
}

template <class Compare, class T>
inline constexpr bool order_may_throw_v =
    !std::is_same_v<Compare, no_order> && may_throw_v<const Compare &, const T &, const T &>;

template <auto A, auto B>
inline constexpr bool distinct_members_v = true;
template <auto A>
inline constexpr bool distinct_members_v<A, A> = false;
}  // namespace detail
/// @endcond

/// @brief Intrusive singly linked list (slist.h) of records linked through
/// @p Link, a `T *` member of T.
///
/// The byte distance of the link member is read from the member pointer: no
/// record is made, so records with constructors, std::string members or any
/// other member qualify.  A link member of another type than `T *`, or one
/// inherited from a base class, is rejected at compile time.  The object is
/// the C header: it owns nothing, never allocates, and its records stay the
/// caller's (they may be linked when the header goes away).  Copying would
/// give two headers of one chain, so a list can only be moved, which leaves
/// the source empty.
///
/// @tparam T       the record type.
/// @tparam Link    pointer to the link member, `&T::link`.
/// @tparam Compare empty function object ordering records for the sorted
///                 operations: (const T &, const T &) -> bool "a before b"
///                 (two calls where the C side needs a sign), or a three-way
///                 comparison returning a signed integer (one call).
///                 Omitted: the sorted operations do not compile.
template <class T, auto Link, class Compare = detail::no_order>
class slist {
    static_assert(detail::check_link<T, Link>());
    static_assert(detail::check_order<T, Compare>());
    static constexpr bool order_may_throw = detail::order_may_throw_v<Compare, T>;

public:
    using size_type = krc::size_type;  ///< counts
    /// Walk from first to last.
    using iterator = detail::node_iterator<T, T, detail::field<T, Link>, detail::self<T>>;

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
    /// @return the C header, read-only.
    const List *get() const noexcept { return &h_; }

    /// @param e record to link in front (List_insertFirst).
    void push_front(T *e) noexcept { List_insertFirst(&h_, e); }
    /// @param e record to link behind the last one (List_insertLast).
    void push_back(T *e) noexcept { List_insertLast(&h_, e); }
    /// @brief Links @p e at its ascending position, in front of its equals
    /// (List_insertSorted).  When Compare throws, @p e is not linked.
    /// @param e record to link.
    void insert_sorted(T *e) noexcept(!order_may_throw) {
        require_order();
        detail::scope<order_may_throw> s;
        List_insertSorted(&h_, e);
        if constexpr (order_may_throw) {
            if (s.failed())
                List_removeAfter(&h_, predecessor(e));
        }
        s.finish();
    }
    /// @return the first record, unlinked, or null when empty (List_removeFirst).
    T *pop_front() noexcept { return static_cast<T *>(List_removeFirst(&h_)); }
    /// @return the last record, unlinked, or null when empty (List_removeLast, O(n)).
    T *pop_back() noexcept { return static_cast<T *>(List_removeLast(&h_)); }
    /// @param pred a record of this list, or null for the front.
    /// @return the record after @p pred, unlinked, or null when there is none
    ///         (List_removeAfter).
    T *erase_after(T *pred) noexcept { return static_cast<T *>(List_removeAfter(&h_, pred)); }
    /// @brief Unlinks every record for which @p pred is true (List_removeAfter
    /// per record, one walk).  When @p pred throws, the records it selected
    /// before are unlinked and the others stay.
    /// @param pred callable(T *) -> bool, called once per record in order.
    /// @return the number of records unlinked.
    template <class Pred>
    size_type remove_if(Pred &&pred) {
        size_type removed = 0;
        T *kept = nullptr;
        for (T *x = front(); x != nullptr;) {
            T *after = x->*Link;
            if (pred(x)) {
                List_removeAfter(&h_, kept);
                ++removed;
            } else {
                kept = x;
            }
            x = after;
        }
        return removed;
    }
    /// @brief Leaves the list empty (List_makeList); the records' links are
    /// left as they were.  O(1).
    void clear() noexcept { init(); }

    /// @return the first record, or null.
    T *front() const noexcept { return static_cast<T *>(h_.first); }
    /// @return the last record, or null.
    T *back() const noexcept { return static_cast<T *>(h_.last); }
    /// @return the number of records.
    size_type size() const noexcept { return static_cast<size_type>(h_.count); }
    /// @return whether no record is linked.
    bool empty() const noexcept { return h_.count == 0; }

    /// @return the first position.
    iterator begin() const noexcept { return iterator(front()); }
    /// @return the end position.
    iterator end() const noexcept { return iterator(); }

    /// @brief Sorts ascending in place, not stable (List_sortList).  When
    /// Compare throws, the records are left in some order, each once.
    void sort() noexcept(!order_may_throw) {
        require_order();
        detail::scope<order_may_throw> s;
        List_sortList(&h_);
        s.finish();
    }
    /// @brief Moves every record of @p other in by sorted insertion
    /// (List_mergeLists); @p other is left empty.  When Compare throws,
    /// every record of both lists is in this one, in some order.
    /// @param other a different list of the same type.
    void merge(slist &other) noexcept(!order_may_throw) {
        require_order();
        detail::scope<order_may_throw> s;
        List_mergeLists(&h_, &other.h_);
        other.init();
        s.finish();
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
    T *predecessor(T *e) const noexcept {
        T *pred = nullptr;
        for (T *x = front(); x != e; x = x->*Link)
            pred = x;
        return pred;
    }

    List h_;
};

/// @brief Intrusive doubly linked list (dlist.h) of records linked through
/// @p Next and @p Prev, two different `T *` members of T.
///
/// Byte distances come from the member pointers, as for krc::slist; members
/// of another type than `T *`, inherited ones, and the same member twice are
/// rejected at compile time.  The object is the C header: it owns nothing
/// and never allocates.  Move-only, as krc::slist.
///
/// @tparam T       the record type.
/// @tparam Next    pointer to the next member, `&T::next`.
/// @tparam Prev    pointer to the prev member, `&T::prev`.
/// @tparam Compare empty function object ordering records for
///                 insert_sorted, as for krc::slist.
template <class T, auto Next, auto Prev, class Compare = detail::no_order>
class dlist {
    static_assert(detail::check_link<T, Next>());
    static_assert(detail::check_link<T, Prev>());
    static_assert(detail::distinct_members_v<Next, Prev>, "next and prev must be different members of T");
    static_assert(detail::check_order<T, Compare>());
    static constexpr bool order_may_throw = detail::order_may_throw_v<Compare, T>;

public:
    using size_type = krc::size_type;  ///< counts
    /// Walk from first to last.
    using iterator = detail::node_iterator<T, T, detail::field<T, Next>, detail::self<T>>;
    /// Walk from last to first.
    using reverse_iterator = detail::node_iterator<T, T, detail::field<T, Prev>, detail::self<T>>;

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
    /// @return the C header, read-only.
    const DList *get() const noexcept { return &h_; }

    /// @param e record to link in front (DList_insertFirst).
    void push_front(T *e) noexcept { DList_insertFirst(&h_, e); }
    /// @param e record to link behind the last one (DList_insertLast).
    void push_back(T *e) noexcept { DList_insertLast(&h_, e); }
    /// @param pred a record of this list, or null for the front.
    /// @param e    record to link behind @p pred (DList_insertAfter).
    void insert_after(T *pred, T *e) noexcept { DList_insertAfter(&h_, pred, e); }
    /// @param pos a record of this list, or null for the end.
    /// @param e   record to link in front of @p pos (DList_insertAfter on its
    ///            predecessor).
    void insert_before(T *pos, T *e) noexcept { DList_insertAfter(&h_, pos != nullptr ? pos->*Prev : back(), e); }
    /// @brief Links @p e at its ascending position (DList_insertSorted).
    /// When Compare throws, @p e is not linked.
    /// @param e record to link.
    void insert_sorted(T *e) noexcept(!order_may_throw) {
        static_assert(!std::is_same_v<Compare, detail::no_order>, "sorted operations need a Compare argument");
        detail::scope<order_may_throw> s;
        DList_insertSorted(&h_, e);
        if constexpr (order_may_throw) {
            if (s.failed())
                DList_remove(&h_, e);
        }
        s.finish();
    }
    /// @param e a record of this list, or null.
    /// @return @p e, unlinked (DList_remove).
    T *erase(T *e) noexcept { return static_cast<T *>(DList_remove(&h_, e)); }
    /// @return the first record, unlinked, or null when empty.
    T *pop_front() noexcept { return static_cast<T *>(DList_removeFirst(&h_)); }
    /// @return the last record, unlinked, or null when empty.
    T *pop_back() noexcept { return static_cast<T *>(DList_removeLast(&h_)); }
    /// @brief Unlinks every record for which @p pred is true (DList_remove).
    /// When @p pred throws, the records it selected before are unlinked and
    /// the others stay.
    /// @param pred callable(T *) -> bool, called once per record in order.
    /// @return the number of records unlinked.
    template <class Pred>
    size_type remove_if(Pred &&pred) {
        size_type removed = 0;
        for (T *x = front(); x != nullptr;) {
            T *after = x->*Next;
            if (pred(x)) {
                DList_remove(&h_, x);
                ++removed;
            }
            x = after;
        }
        return removed;
    }
    /// @brief Leaves the list empty (DList_makeDList); the records' links
    /// are left as they were.  O(1).
    void clear() noexcept { init(); }

    /// @return the first record, or null.
    T *front() const noexcept { return static_cast<T *>(h_.first); }
    /// @return the last record, or null.
    T *back() const noexcept { return static_cast<T *>(h_.last); }
    /// @return the number of records.
    size_type size() const noexcept { return h_.count; }
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
    detail::range<reverse_iterator> reversed() const noexcept { return {rbegin(), rend()}; }

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
