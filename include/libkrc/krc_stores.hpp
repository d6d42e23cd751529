// SPDX-License-Identifier: MIT
/// @file krc_stores.hpp
/// @brief Typed C++17 faces of the fixed-capacity stores: krc::queue and
/// krc::inplace_queue (krqueue.h), krc::hash_map (hashtab.h) and krc::pool
/// (mempool.h).
///
/// Header-only and inline over the C functions; nothing is exported from the
/// library for them.  No exceptions: a failure is reported as the C function
/// reports it (null, false, the object unchanged), and a violated
/// precondition aborts through the library's own check.
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

/// @brief Operations common to the heap and the in-place queue of T *.
///
/// Elements are non-null T *; the queue never owns them.
/// @tparam T the element type.
template <class T>
class basic_queue {
public:
    /// @brief Queues @p e behind the newest element (krqueue_add).
    /// @param e the element; must not be null (asserted).
    /// @return false, the queue unchanged, when it is full.
    bool push(T *e) noexcept { return krqueue_add(q_, detail::untyped(e)) != 0; }
    /// @brief Takes the oldest element out (krqueue_get).
    /// @return the element, or null when the queue is empty.
    T *pop() noexcept { return static_cast<T *>(krqueue_get(q_)); }
    /// @return the number of elements held.
    std::uint32_t size() const noexcept { return q_->count; }
    /// @return the number of slots.
    std::uint32_t capacity() const noexcept { return q_->capacity; }
    /// @return whether no element is held.
    bool empty() const noexcept { return q_->count == 0; }
    /// @return whether every slot is taken.
    bool full() const noexcept { return q_->count == q_->capacity; }
    /// @return the C queue.
    krqueue *get() const noexcept { return q_; }

protected:
    /// @param q the C queue, or null.
    explicit basic_queue(krqueue *q) noexcept : q_(q) {}
    ~basic_queue() = default;
    basic_queue(const basic_queue &) = delete;
    basic_queue &operator=(const basic_queue &) = delete;

    krqueue *q_;  ///< the C queue; null after a failed creation or a move
};

/// @brief Owning, move-only heap queue of T * (krqueue_new / krqueue_free).
///
/// The destructor frees the queue and hands no element to anyone.  A queue
/// whose creation failed, and a moved-from one, holds none (operator bool is
/// false).
/// @tparam T the element type.
template <class T>
class queue : public basic_queue<T> {
public:
    /// @brief An empty queue of @p capacity slots (two allocations).
    /// @param capacity up to KRQUEUE_MAX_CAPACITY, 0 included.
    explicit queue(std::uint32_t capacity) noexcept : basic_queue<T>(krqueue_new(capacity)) {}
    /// @brief Takes the queue over; @p other is left holding none.
    /// @param other the queue given up.
    queue(queue &&other) noexcept : basic_queue<T>(std::exchange(other.q_, nullptr)) {}
    /// @brief Frees this queue, then takes @p other's over.
    /// @param other the queue given up.
    /// @return this queue.
    queue &operator=(queue &&other) noexcept {
        if (this != &other) {
            krqueue_free(this->q_, nullptr);
            this->q_ = std::exchange(other.q_, nullptr);
        }
        return *this;
    }
    /// @brief Frees the queue; elements still queued are left alone.
    ~queue() { krqueue_free(this->q_, nullptr); }
    /// @return whether a queue is held.
    explicit operator bool() const noexcept { return this->q_ != nullptr; }
};

/// @brief Queue of T * whose slots live inside the object (krqueue_inplace_new).
///
/// The storage is sized at compile time with the arithmetic of krqueue_size;
/// nothing is allocated.  The queue points into its own storage, so the
/// object can be neither copied nor moved.
/// @tparam T the element type.
/// @tparam N the number of slots, 1 to KRQUEUE_MAX_CAPACITY.
template <class T, std::uint32_t N>
class inplace_queue : public basic_queue<T> {
    static_assert(N > 0, "an in-place queue has at least one slot");
    static_assert(N <= KRQUEUE_MAX_CAPACITY, "an in-place queue's size fits in 32 bits");

public:
    /// The bytes of storage inside the object.
    static constexpr std::uint32_t storage_bytes = queue_bytes(N);

    /// @brief An empty queue laid out in the object's own storage.
    inplace_queue() noexcept : basic_queue<T>(krqueue_inplace_new(storage_, storage_bytes, N)) {}

private:
    alignas(krqueue) alignas(void *) unsigned char storage_[storage_bytes];
};

/// @brief The standard hash of a key, folded into 32 bits.
/// @tparam K the key type.
template <class K>
struct default_hash {
    /// @param key the key to hash.
    /// @return its hash value.
    std::uint32_t operator()(const K &key) const noexcept {
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
/// empty function objects (a lambda without captures will do).
///
/// @tparam K     the key type.
/// @tparam V     the value type; the table stores V *.
/// @tparam Hash  (const K &) -> any unsigned value; the table reduces it.
/// @tparam Equal (const K &probe, const K &stored) -> bool.
template <class K, class V, class Hash = default_hash<K>, class Equal = std::equal_to<K>>
class hash_map {
    static_assert(detail::is_stateless_v<Hash> && detail::is_stateless_v<Equal>,
                  "Hash and Equal become C callbacks: empty function objects");

public:
    /// @brief A table of @p capacity entries (HashTab_init).
    /// @param capacity up to HASHTAB_MAX_CAPACITY, 0 included.
    explicit hash_map(std::uint32_t capacity) noexcept { HashTab_init(&h_, hash, equal, capacity, 0); }
    hash_map(const hash_map &) = delete;
    hash_map &operator=(const hash_map &) = delete;
    /// @brief Takes the table over; @p other is left holding none.
    /// @param other the table given up.
    hash_map(hash_map &&other) noexcept : h_(other.h_) { other.h_ = HashTab{}; }
    /// @brief Releases this table, then takes @p other's over.
    /// @param other the table given up.
    /// @return this table.
    hash_map &operator=(hash_map &&other) noexcept {
        if (this != &other) {
            HashTab_destroy(&h_);
            h_ = other.h_;
            other.h_ = HashTab{};
        }
        return *this;
    }
    /// @brief Releases the pool and buckets (HashTab_destroy).
    ~hash_map() { HashTab_destroy(&h_); }

    /// @return whether the table was made (HashTab_init succeeded, not moved from).
    explicit operator bool() const noexcept { return h_.buckets != nullptr; }
    /// @return the C header.
    HashTab *get() noexcept { return &h_; }

    /// @brief Stores @p key -> @p value (HashTab_store).
    /// @param key   the key, stored by address.
    /// @param value the value; a null value looks absent to find().
    /// @return false, the table unchanged, when it is full or the key is
    ///         present with a non-null value.
    bool insert(const K *key, V *value) noexcept { return HashTab_store(&h_, key, detail::untyped(value)) != 0; }
    /// @param key a key equal to a stored one; only read during the call.
    /// @return the value stored under @p key, or null when there is none.
    V *find(const K &key) noexcept { return static_cast<V *>(HashTab_lookup(&h_, &key)); }
    /// @brief Removes the entry stored under @p key, if any (HashTab_delete).
    /// @param key a key equal to a stored one; only read during the call.
    void erase(const K &key) noexcept { HashTab_delete(&h_, &key); }
    /// @return the number of entries in use.
    std::uint32_t size() const noexcept { return h_.count; }
    /// @return the number of entries in the pool.
    std::uint32_t capacity() const noexcept { return h_.capacity; }
    /// @return whether no entry is in use.
    bool empty() const noexcept { return h_.count == 0; }

private:
    static std::uint32_t hash(void *key, std::uint32_t) { return detail::stateless<Hash>()(*static_cast<const K *>(key)); }
    static int equal(void *probe, void *stored) {
        return detail::stateless<Equal>()(*static_cast<const K *>(probe), *static_cast<const K *>(stored)) ? 1 : 0;
    }

    HashTab h_;
};

/// @brief Owning, move-only fixed-block pool (mempool.h) of storage for T.
///
/// allocate/deallocate hand out raw blocks (zero the first time); create
/// and destroy construct and destroy a T in one.  The pool's destructor
/// frees the arena whatever is still handed out, running no destructor.
/// @tparam T the block type; its alignment must not exceed the heap's.
template <class T>
class pool {
    static_assert(alignof(T) <= alignof(std::max_align_t), "blocks are aligned as far as the heap aligns");

public:
    /// @brief A pool of @p n blocks of sizeof(T) bytes (mempool_create).
    /// @param n the number of blocks, at least 1 (asserted).
    explicit pool(std::uint32_t n) noexcept : p_(mempool_create(n, static_cast<std::uint32_t>(sizeof(T)))) {}
    pool(const pool &) = delete;
    pool &operator=(const pool &) = delete;
    /// @brief Takes the pool over; @p other is left holding none.
    /// @param other the pool given up.
    pool(pool &&other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    /// @brief Destroys this pool, then takes @p other's over.
    /// @param other the pool given up.
    /// @return this pool.
    pool &operator=(pool &&other) noexcept {
        if (this != &other) {
            mempool_destroy(p_);
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    /// @brief Frees the pool (mempool_destroy).
    ~pool() { mempool_destroy(p_); }

    /// @return whether a pool is held.
    explicit operator bool() const noexcept { return p_ != nullptr; }
    /// @return the C pool.
    mempool *get() const noexcept { return p_; }

    /// @return a raw block for a T, or null when every block is out (mempool_alloc).
    T *allocate() noexcept { return static_cast<T *>(mempool_alloc(p_)); }
    /// @param block a block of this pool, or null (mempool_free).
    void deallocate(T *block) noexcept { mempool_free(p_, block); }
    /// @brief Constructs a T in a block.
    /// @param args the constructor's arguments.
    /// @return the object, or null when every block is out.
    template <class... Args>
    T *create(Args &&...args) noexcept(std::is_nothrow_constructible_v<T, Args...>) {
        void *block = mempool_alloc(p_);
        return block ? ::new (block) T(std::forward<Args>(args)...) : nullptr;
    }
    /// @brief Destroys @p object and gives its block back.
    /// @param object an object from create(), or null.
    void destroy(T *object) noexcept {
        if (object != nullptr) {
            object->~T();
            mempool_free(p_, object);
        }
    }
    /// @return the number of blocks handed out.
    std::uint32_t in_use() const noexcept { return p_->nallocated; }
    /// @return the number of blocks.
    std::uint32_t capacity() const noexcept { return p_->nelements; }

private:
    mempool *p_;
};

}  // namespace krc

#endif
