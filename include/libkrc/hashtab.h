/* SPDX-License-Identifier: MIT */
/** @file
 * Hash table with a fixed entry pool.
 *
 * HashTab maps caller keys to caller values, both untyped pointers, by
 * separate chaining.  Its capacity is fixed by HashTab_init, which allocates
 * the whole entry pool and the bucket array at once: storing, looking up and
 * deleting never allocate or free, and the table is never resized.  The
 * bucket count is the smallest prime not below 2 * capacity + 1, so entries
 * never outnumber half the buckets.  Hashing and key comparison are the
 * caller's.  The header is the caller's object; HashTab_init fills it in and
 * HashTab_destroy releases what it allocated.  Keys and values are stored as
 * the caller's pointers, never copied and never released: a key's memory must
 * stay valid and unchanged while it is stored, since later operations pass it
 * to `equal`.
 *
 * Capacity limits:
 *   - 0 is accepted: no pool is allocated (entries and freelist stay null),
 *     the table has one bucket, every store returns 0 (full) and every
 *     look-up returns null.
 *   - Above HASHTAB_MAX_CAPACITY (357913941, the largest capacity whose pool
 *     byte size fits in 32 bits) HashTab_init returns 0 without allocating.
 *
 * Checks: HashTab_lookup(), HashTab_store() and HashTab_delete() assert
 * p != NULL, then key != NULL; HashTab_init(), HashTab_destroy() and
 * HashTab_hashMem() check nothing.  A violated check prints the failed
 * expression and aborts, in every build.  Costs count the calls of the
 * caller's hash and equal functions.  Nothing here takes a
 * lock: a table is used by one thread at a time.
 */
#ifndef LIBKRC_HASHTAB_H
#define LIBKRC_HASHTAB_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Largest capacity HashTab_init() accepts: 357913941 entries of 12 bytes is the
 * largest pool whose byte size fits in 32 bits. */
#define HASHTAB_MAX_CAPACITY 357913941u

/** The caller's hash: any value; the table reduces it modulo nbuckets.
 * Keys are untyped pointers.  The operations accept them as pointers to
 * const, so const keys need no cast; the table never writes through a key
 * and hands it to the callbacks as it was given. */
typedef uint32_t (*HashTab_hash_fn)(void *key, uint32_t nbuckets);
/** The caller's key equality: the probe key first, a stored key second;
 * nonzero when equal. */
typedef int (*HashTab_equal_fn)(void *probe, void *stored);

/** One pool entry: on exactly one chain while in use, else on the free list.
 * key and value mean something only while the entry is in use. */
typedef struct HashTabEntry {
    struct HashTabEntry *next; /**< next on the same chain or on the free list */
    void *key;                 /**< the caller's key pointer */
    void *value;               /**< the caller's value pointer; null is allowed */
} HashTabEntry;

/** The table header, declared by the caller.
 * Invariants once initialised: count <= capacity; every pool entry is on
 * exactly one chain or on the free list; an entry in use lies on chain
 * hash(key, nbuckets) % nbuckets; every chain runs from the newest entry to
 * the oldest. */
typedef struct HashTab {
    HashTab_hash_fn hash;   /**< the caller's hash function */
    HashTab_equal_fn equal; /**< the caller's key equality */
    uint32_t count;         /**< entries in use */
    uint32_t capacity;      /**< entries in the pool */
    uint32_t nbuckets;      /**< prime, or 1 for capacity 0; fixed */
    HashTabEntry *entries;  /**< the pool, capacity entries, not zero-filled */
    HashTabEntry *freelist; /**< first free entry; null when none */
    HashTabEntry **buckets; /**< nbuckets chain heads; null is an empty chain */
    uint32_t userdata;      /**< the caller's; never read by the table */
} HashTab;

#ifdef __cplusplus
static_assert(sizeof(HashTab) == (sizeof(void *) == 4 ? 36 : 64), "HashTab is 36 bytes (32-bit), 64 (64-bit)");
static_assert(offsetof(HashTab, userdata) == (sizeof(void *) == 4 ? 32 : 56), "userdata at 32 (32-bit), 56 (64-bit)");
static_assert(sizeof(HashTabEntry) == (sizeof(void *) == 4 ? 12 : 24),
              "HashTabEntry is 12 bytes (32-bit), 24 (64-bit)");
static_assert(sizeof(void *) != 4 || HASHTAB_MAX_CAPACITY == UINT32_MAX / sizeof(HashTabEntry),
              "the largest pool fits in 32 bits");
#endif

/** Initialises a table: the bucket count is the smallest prime not below
 * 2 * capacity + 1 (capacity 1, 2, 3, 4, 10, 100, 1000 give 3, 5, 7, 11, 23,
 * 211, 2003; capacity 0 gives 1); the pool comes from malloc, its free list
 * handing out the last entry first, and the bucket array, zero-filled, from
 * calloc.  Two allocations (one for capacity 0).
 * @param p        the caller's header
 * @param hash     the caller's hash function
 * @param equal    the caller's key equality
 * @param capacity entries in the pool, at most HASHTAB_MAX_CAPACITY
 * @param userdata stored in the header for the caller
 * @return 1, or 0 when an allocation failed or capacity exceeds
 *         HASHTAB_MAX_CAPACITY.  After 0 nothing is allocated; entries,
 *         freelist and buckets are null, so HashTab_destroy() accepts the
 *         header; hash, equal, count, capacity and nbuckets are set as on
 *         success (nbuckets is 0 for a rejected capacity); userdata is not
 *         written. */
LIBKRC_API int HashTab_init(HashTab *p, HashTab_hash_fn hash, HashTab_equal_fn equal, uint32_t capacity,
                            uint32_t userdata);

/** Frees the bucket array, then the pool, and sets all nine header fields to
 * zero; keys and values are not touched.  The header may then be initialised
 * again, and destroying it again frees nothing.
 * @param p the header, non-null and initialised (or left by a failed
 *          HashTab_init(), or already destroyed) */
LIBKRC_API void HashTab_destroy(HashTab *p);

/** Looks a key up.  One call of hash, one of equal per chain entry visited.
 * @param p   the table
 * @param key the probe key
 * @return the value of the newest entry whose key is equal to key, or null
 *         when there is none (a stored null value looks absent) */
LIBKRC_API void *HashTab_lookup(HashTab *p, const void *key);

/** Stores key -> value at the head of its chain, taking the most recently
 * freed entry.  The full test comes first, with no call and no check; then
 * the arguments are checked by HashTab_lookup() (a null p or key is reported
 * from there), then bucket != NULL is asserted (the free list is not empty
 * while count < capacity).  Two calls of hash when stored, one when the key
 * is present, none when full; one call of equal per chain entry visited.
 * @param p     the table
 * @param key   the key, stored as the caller's pointer
 * @param value the value, stored as the caller's pointer
 * @return 1, or 0 with the table unchanged when it is full or when the key is
 *         already stored with a non-null value */
LIBKRC_API int HashTab_store(HashTab *p, const void *key, void *value);

/** Removes the newest entry whose key is equal to key and puts it at the head
 * of the free list, so the next store reuses it; nothing changes when there
 * is none.  One call of hash, one of equal per chain entry visited.
 * @param p   the table
 * @param key the probe key */
LIBKRC_API void HashTab_delete(HashTab *p, const void *key);

/** Byte-wise hash for use inside a caller's hash function: h = 0, then for
 * each byte in order h = byte ^ (h << 1) in 32 bits.  Only the last 32 bytes
 * affect the result; "abc" gives h = 291, i.e. 80 for 211 buckets.  O(len).
 * @param key      the bytes
 * @param nbuckets the modulus; must not be 0 when len is not
 * @param len      number of bytes
 * @return h % nbuckets, or 0 when len is 0 (nbuckets is then not used) */
LIBKRC_API uint32_t HashTab_hashMem(const void *key, uint32_t nbuckets, uint32_t len);

#ifdef __cplusplus
}
#endif

#endif
