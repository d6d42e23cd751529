// SPDX-License-Identifier: MIT
/// @file krc_stores.hpp
/// @brief Typed C++17 faces of the fixed-capacity stores: krc::queue and
/// krc::inplace_queue (krqueue.h), krc::hash_map (hashtab.h) and krc::pool
/// (mempool.h).
///
/// Header-only and inline over the C functions; nothing is exported from the
/// library for them.  A failure is reported as the C function reports it
/// (null, false, the object unchanged), and a violated precondition aborts
/// through the library's own check.  Callables follow the rules of
/// krc_detail.hpp.
#ifndef LIBKRC_KRC_STORES_HPP
#define LIBKRC_KRC_STORES_HPP

#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

#include <libkrc/hashtab.h>
#include <libkrc/krc_detail.hpp>
#include <libkrc/krqueue.h>
#include <libkrc/mempool.h>

namespace krc {

/// @brief Bytes an in-place queue of @p capacity needs: the header and one
/// pointer per slot, the arithmetic of krqueue_size, usable at compile time.
/// @param capacity the number of slots, at most KRQUEUE_MAX_CAPACITY.
/// @return the byte count, or 0 above KRQUEUE_MAX_CAPACITY (as krqueue_size).
constexpr std::uint32_t queue_bytes(std::uint32_t capacity) noexcept {
    return KRQUEUE_SIZE(capacity);
}

/// @brief The Destructor argument of a queue that leaves its elements alone
/// when it goes away.
struct keep_elements {};

/// @cond INTERNAL
namespace detail {

// Hands an element to the queue's Destructor, from the C drain.  Not shielded:
// it runs from a destructor, where an exception ends the program anyway.
template <class T, class D>
inline void queue_destroy(void *elem) {
    stateless<D>()(static_cast<T *>(elem));
}
template <class T, class D>
inline krqueue_destructor_fn queue_destructor() noexcept {
    if constexpr (std::is_same_v<D, keep_elements>) {
        return nullptr;
    } else {
        require_stateless<D>();
        return queue_destroy<T, D>;
    }
}

template <class T, class D>
struct queue_traits {
    using handle = krqueue *;
    static krqueue *empty() noexcept { return nullptr; }
    static bool held(krqueue *h) noexcept { return h != nullptr; }
    static void release(krqueue *h) { krqueue_free(h, queue_destructor<T, D>()); }
};

}  // namespace detail
/// @endcond

/// @brief The operations both queues share (krc::queue, krc::inplace_queue).
/// @tparam Derived the queue class; its get() is the C queue.
/// @tparam T       the element type.
template <class Derived, class T>
class queue_ops {
public:
    /// @brief Queues @p e behind the newest element (krqueue_add).
    /// @param e the element; must not be null (asserted).
    /// @return false, the queue unchanged, when it is full.
    bool push(T *e) noexcept { return krqueue_add(q(), detail::untyped(e)) != 0; }
    /// @brief Takes the oldest element out (krqueue_get).
    /// @return the element, or null when the queue is empty.
    T *pop() noexcept { return static_cast<T *>(krqueue_get(q())); }
    /// @return the oldest element, still queued, or null when empty.
    T *front() const noexcept {
        const krqueue *p = q();
        if (p == nullptr || p->count == 0)
            return nullptr;
        const std::uint32_t next = p->last_get + 1 == p->capacity ? 0u : p->last_get + 1;
        return static_cast<T *>(p->members[next]);
    }
    /// @brief Takes every element out, oldest first (krqueue_get), handing
    /// each to @p f.  When @p f throws, the element it was given is out of
    /// the queue and the others are still queued.
    /// @param f callable(T *), used in place.
    /// @return the number of elements handed over.
    template <class F>
    size_type drain(F &&f) {
        size_type n = 0;
        for (T *e; (e = pop()) != nullptr; ++n)
            f(e);
        return n;
    }
    /// @return the number of elements held (0 when none is held).
    size_type size() const noexcept { return q() != nullptr ? q()->count : 0u; }
    /// @return the number of slots (0 when none is held).
    size_type capacity() const noexcept { return q() != nullptr ? q()->capacity : 0u; }
    /// @return whether no element is held.
    bool empty() const noexcept { return size() == 0; }
    /// @return whether every slot is taken (false when none is held).
    bool full() const noexcept { return q() != nullptr && q()->count == q()->capacity; }

protected:
    queue_ops() = default;
    ~queue_ops() = default;

private:
    krqueue *q() const noexcept { return static_cast<const Derived *>(this)->get(); }
};

/// @cond INTERNAL
namespace detail {
struct hash_traits {
    using handle = HashTab;
    static HashTab empty() noexcept { return HashTab{}; }
    static bool held(const HashTab &h) noexcept { return h.buckets != nullptr; }
    static void release(HashTab &h) noexcept { HashTab_destroy(&h); }
};

using pool_traits = pointer_traits<mempool, mempool_destroy>;

template <class T>
struct pooled {
    mempool *pool;
    T *object;
};
template <class T>
struct pooled_traits {
    using handle = pooled<T>;
    static pooled<T> empty() noexcept { return {nullptr, nullptr}; }
    static bool held(const pooled<T> &h) noexcept { return h.object != nullptr; }
    static void release(const pooled<T> &h) noexcept {
        if (h.object != nullptr) {
            h.object->~T();
            mempool_free(h.pool, h.object);
        }
    }
};

}  // namespace detail
/// @endcond

/// @brief Owning, move-only heap queue of T * (krqueue_new / krqueue_free).
///
/// Elements are non-null T *, the caller's.  The destructor frees the queue
/// and drains what is still queued into @p Destructor (krqueue_free), or
/// leaves it alone with keep_elements.  A queue whose creation failed, and a
/// moved-from one, holds none: operator bool is false, size() and
/// capacity() are 0, empty() is true and full() false.
/// @tparam T          the element type.
/// @tparam Destructor empty function object taking T *, or keep_elements.
///                    If it throws while the queue is destroyed, the program
///                    ends (std::terminate), as for any destructor.
template <class T, class Destructor = keep_elements>
class queue : public detail::owner<detail::queue_traits<T, Destructor>>,
              public queue_ops<queue<T, Destructor>, T> {
    using base = detail::owner<detail::queue_traits<T, Destructor>>;

public:
    using size_type = krc::size_type;  ///< counts

    /// @brief An empty queue of @p capacity slots (two allocations).
    /// @param capacity up to KRQUEUE_MAX_CAPACITY, 0 included.
    explicit queue(size_type capacity) noexcept : base(krqueue_new(capacity)) {
        (void)detail::queue_destructor<T, Destructor>();
    }
    /// @return the C queue.
    krqueue *get() const noexcept { return this->h_; }

};

/// @brief Queue of T * whose slots live inside the object (krqueue_inplace_new).
///
/// The storage is sized at compile time with the arithmetic of krqueue_size;
/// nothing is allocated.  The queue points into its own storage, so the
/// object can be neither copied nor moved.  The destructor drains what is
/// still queued into @p Destructor (krqueue_inplace_free).  Its operations
/// are those of krc::queue.
/// @tparam T          the element type.
/// @tparam N          the number of slots, 1 to KRQUEUE_MAX_CAPACITY.
/// @tparam Destructor as for krc::queue.
template <class T, std::uint32_t N, class Destructor = keep_elements>
class inplace_queue : public queue_ops<inplace_queue<T, N, Destructor>, T> {
    static_assert(N > 0, "an in-place queue has at least one slot");
    static_assert(N <= KRQUEUE_MAX_CAPACITY, "an in-place queue's size fits in 32 bits");

public:
    using size_type = krc::size_type;  ///< counts
    /// The bytes of storage inside the object.
    static constexpr std::uint32_t storage_bytes = queue_bytes(N);

    /// @brief An empty queue laid out in the object's own storage.
    inplace_queue() noexcept : q_(krqueue_inplace_new(storage_, storage_bytes, N)) {}
    inplace_queue(const inplace_queue &) = delete;
    inplace_queue &operator=(const inplace_queue &) = delete;
    /// @brief Drains the queue into @p Destructor (krqueue_inplace_free).
    ~inplace_queue() { krqueue_inplace_free(q_, detail::queue_destructor<T, Destructor>()); }

    /// @return the C queue.
    krqueue *get() const noexcept { return q_; }

private:
    krqueue *q_;
    alignas(krqueue) alignas(void *) unsigned char storage_[storage_bytes];
};

/// @brief The standard hash of a key, folded into 32 bits.
/// @tparam K the key type.
template <class K>
struct default_hash {
    /// @param key the key to hash.
    /// @return its hash value.
    std::uint32_t operator()(const K &key) const noexcept(noexcept(std::hash<K>{}(key))) {
        const std::uint64_t h = std::hash<K>{}(key);
        return static_cast<std::uint32_t>(h ^ (h >> 32));
    }
};

/// @brief Owning, move-only hash table (hashtab.h) from const K * to V *,
/// with a fixed number of entries.
///
/// The object holds the C header; construction runs HashTab_init, the
/// destructor HashTab_destroy.  Keys and values are the caller's pointers,
/// never copied or released; a stored key must stay valid and unchanged
/// while it is stored.  Hash and Equal become the C callbacks, so they are
/// empty function objects (a lambda without captures will do).  A table
/// whose creation failed, and a moved-from one, holds none: operator bool is
/// false, size() and capacity() are 0.
///
/// When Hash or Equal throws, the exception reaches the caller after the C
/// call: insert has not inserted, erase has not erased, find and contains
/// found nothing.
///
/// @tparam K     the key type.
/// @tparam V     the value type; the table stores V *.
/// @tparam Hash  (const K &) -> any unsigned value; the table reduces it.
/// @tparam Equal (const K &probe, const K &stored) -> bool.
template <class K, class V, class Hash = default_hash<K>, class Equal = std::equal_to<K>>
class hash_map : public detail::owner<detail::hash_traits> {
    static_assert(detail::is_stateless_v<Hash> && detail::is_stateless_v<Equal>,
                  "Hash and Equal become C callbacks: empty function objects");
    static_assert(std::is_invocable_r_v<std::uint32_t, const Hash &, const K &>,
                  "Hash is called as hash(const K &) and returns an unsigned integer");
    static_assert(std::is_invocable_r_v<bool, const Equal &, const K &, const K &>,
                  "Equal is called as equal(const K &probe, const K &stored) and returns bool");
    static constexpr bool shielded =
        detail::may_throw_v<const Hash &, const K &> || detail::may_throw_v<const Equal &, const K &, const K &>;
    using base = detail::owner<detail::hash_traits>;

public:
    using size_type = krc::size_type;  ///< counts

    /// @brief A table of @p capacity entries (HashTab_init).
    /// @param capacity up to HASHTAB_MAX_CAPACITY, 0 included.
    explicit hash_map(size_type capacity) noexcept : base(HashTab{}) {
        HashTab_init(&h_, hash, equal, capacity, 0);
    }

    /// @return the C header.
    HashTab *get() noexcept { return &h_; }
    /// @return the C header, read-only.
    const HashTab *get() const noexcept { return &h_; }

    /// @brief Stores @p key -> @p value (HashTab_store).
    /// @param key   the key, stored by address.
    /// @param value the value; a null value looks absent to find().
    /// @return false, the table unchanged, when it is full or the key is
    ///         present with a non-null value.
    bool insert(const K *key, V *value) noexcept(!shielded) {
        detail::scope<shielded> s;
        const bool stored = HashTab_store(&h_, key, detail::untyped(value)) != 0;
        if constexpr (shielded) {
            if (s.failed() && stored)
                unstore(key);
        }
        s.finish();
        return stored;
    }
    /// @param key a key equal to a stored one; only read during the call.
    /// @return the value stored under @p key, or null when there is none.
    V *find(const K &key) const noexcept(!shielded) {
        detail::scope<shielded> s;
        void *value = HashTab_lookup(const_cast<HashTab *>(&h_), &key);
        s.finish();
        return static_cast<V *>(value);
    }
    /// @param key a key equal to a stored one; only read during the call.
    /// @return whether a non-null value is stored under @p key (as find()).
    bool contains(const K &key) const noexcept(!shielded) { return find(key) != nullptr; }
    /// @brief Removes the newest entry stored under @p key, if any (HashTab_delete).
    /// @param key a key equal to a stored one; only read during the call.
    /// @return whether an entry was removed.
    bool erase(const K &key) noexcept(!shielded) {
        const size_type before = h_.count;
        detail::scope<shielded> s;
        HashTab_delete(&h_, &key);
        s.finish();
        return h_.count != before;
    }
    /// @return the number of entries in use.
    size_type size() const noexcept { return h_.count; }
    /// @return the number of entries in the pool.
    size_type capacity() const noexcept { return h_.capacity; }
    /// @return whether no entry is in use.
    bool empty() const noexcept { return h_.count == 0; }

private:
    static std::uint32_t hash(void *key, std::uint32_t) {
        return detail::shielded<shielded, false>(std::uint32_t{0}, [&]() -> std::uint32_t {
            return detail::stateless<Hash>()(*static_cast<const K *>(key));
        });
    }
    static int equal(void *probe, void *stored) {
        return detail::shielded<shielded, false>(0, [&] {
            return detail::stateless<Equal>()(*static_cast<const K *>(probe), *static_cast<const K *>(stored)) ? 1
                                                                                                               : 0;
        });
    }
    // After a throw every later hash was 0, so the entry just stored heads
    // chain 0: it is removed with a hash of 0 and an equality that matches
    // the first entry it sees, which puts it back on the free list.
    void unstore(const K *key) noexcept {
        h_.hash = [](void *, std::uint32_t) -> std::uint32_t { return 0u; };
        h_.equal = [](void *, void *) { return 1; };
        HashTab_delete(&h_, key);
        h_.hash = hash;
        h_.equal = equal;
    }
};

template <class T>
class pool;

/// @brief Owner of one object made by pool::make: destroys it and gives its
/// block back when it goes away.  Move-only; a moved-from or empty one holds
/// nothing.  The pool must outlive it.
/// @tparam T the object type.
template <class T>
class pool_ptr : public detail::owner<detail::pooled_traits<T>> {
    using base = detail::owner<detail::pooled_traits<T>>;
    friend class pool<T>;

public:
    /// @brief Holds nothing.
    pool_ptr() noexcept : base({nullptr, nullptr}) {}
    /// @return the object, or null.
    T *get() const noexcept { return this->h_.object; }
    /// @return the object; must hold one.
    T &operator*() const noexcept { return *this->h_.object; }
    /// @return the object; must hold one.
    T *operator->() const noexcept { return this->h_.object; }
    /// @brief Gives the object up: the caller destroys it (pool::destroy).
    /// @return the object, or null.
    T *release() noexcept { return std::exchange(this->h_.object, nullptr); }

private:
    pool_ptr(mempool *p, T *object) noexcept : base({p, object}) {}
};

/// @brief Owning, move-only fixed-block pool (mempool.h) of storage for T.
///
/// allocate/deallocate hand out raw blocks (zero the first time); create
/// and destroy construct and destroy a T in one; make does the same through
/// an owning pool_ptr.  The pool's destructor frees the arena whatever is
/// still handed out, running no destructor.  A pool whose creation failed,
/// and a moved-from one, holds none: operator bool is false, in_use() and
/// capacity() are 0.
/// @tparam T the block type; its alignment must not exceed the heap's.
template <class T>
class pool : public detail::owner<detail::pool_traits> {
    static_assert(alignof(T) <= alignof(std::max_align_t), "blocks are aligned as far as the heap aligns");
    using base = detail::owner<detail::pool_traits>;

public:
    using size_type = krc::size_type;  ///< counts

    /// @brief A pool of @p n blocks of sizeof(T) bytes (mempool_create).
    /// @param n the number of blocks, at least 1 (asserted).
    explicit pool(size_type n) noexcept : base(mempool_create(n, static_cast<std::uint32_t>(sizeof(T)))) {}

    /// @return the C pool.
    mempool *get() const noexcept { return h_; }

    /// @return a raw block for a T, or null when every block is out (mempool_alloc).
    T *allocate() noexcept { return static_cast<T *>(mempool_alloc(h_)); }
    /// @param block a block of this pool, or null (mempool_free).
    void deallocate(T *block) noexcept { mempool_free(h_, block); }
    /// @brief Constructs a T in a block.  When the constructor throws, the
    /// block is given back before the exception goes on.
    /// @param args the constructor's arguments.
    /// @return the object, or null when every block is out.
    template <class... Args>
    T *create(Args &&...args) noexcept(std::is_nothrow_constructible_v<T, Args...>) {
        void *block = mempool_alloc(h_);
        if (block == nullptr)
            return nullptr;
#if defined(__cpp_exceptions)
        if constexpr (!std::is_nothrow_constructible_v<T, Args...>) {
            try {
                return ::new (block) T(std::forward<Args>(args)...);
            } catch (...) {
                mempool_free(h_, block);
                throw;
            }
        }
#endif
        return ::new (block) T(std::forward<Args>(args)...);
    }
    /// @brief As create, the object owned by the result.
    /// @param args the constructor's arguments.
    /// @return the owner; holds nothing when every block is out.
    template <class... Args>
    pool_ptr<T> make(Args &&...args) noexcept(std::is_nothrow_constructible_v<T, Args...>) {
        return pool_ptr<T>(h_, create(std::forward<Args>(args)...));
    }
    /// @brief Destroys @p object and gives its block back.
    /// @param object an object from create(), or null.
    void destroy(T *object) noexcept {
        if (object != nullptr) {
            object->~T();
            mempool_free(h_, object);
        }
    }
    /// @return the number of blocks handed out.
    size_type in_use() const noexcept { return h_ != nullptr ? h_->nallocated : 0u; }
    /// @return the number of blocks.
    size_type capacity() const noexcept { return h_ != nullptr ? h_->nelements : 0u; }
};

}  // namespace krc

#endif
