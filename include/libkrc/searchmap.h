/* SPDX-License-Identifier: MIT */
/** @file
 * Linear look-ups in constant, sentinel-terminated maps that the caller
 * defines as arrays of two-word entries.
 *
 * A key/value map (uint_uint_map_entry) ends with an entry whose key is
 * 0xFFFF, compared with the whole 32-bit key: 0x0000FFFF ends the map, while
 * 0xFFFFFFFF, for example, is an ordinary key.  A string map
 * (str_uint_map_entry) ends with an entry whose str is null.  The sentinel's
 * value is never read.  A map without its sentinel is outside the contract:
 * the scan would run past its end.
 *
 * Both searches scan from the first entry, testing each entry for the
 * sentinel before comparing it, and return at the first match, so the entry
 * nearest the start wins and no order is required of the entries.  Both
 * assert map != NULL.  They only read the map (which stays the caller's),
 * allocate nothing, keep no state and may be called from any thread.  Cost:
 * linear in the entries before the match or the sentinel.
 */
#ifndef LIBKRC_SEARCHMAP_H
#define LIBKRC_SEARCHMAP_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** One entry of a key/value map; key 0xFFFF is the sentinel. */
typedef struct uint_uint_map_entry {
    uint32_t key;   /**< the number looked up; 0xFFFF ends the map */
    uint32_t value; /**< what the key stands for */
} uint_uint_map_entry;

/** One entry of a string map; a null str is the sentinel. */
typedef struct str_uint_map_entry {
    const char *str; /**< zero-terminated; returned as is, never read; null ends the map */
    uint32_t value;  /**< the number the string stands for */
} str_uint_map_entry;

#ifdef __cplusplus
static_assert(sizeof(uint_uint_map_entry) == 8 && offsetof(uint_uint_map_entry, value) == 4,
              "uint_uint_map_entry is two 32-bit words");
static_assert(sizeof(str_uint_map_entry) == (sizeof(void *) == 4 ? 8 : 16),
              "str_uint_map_entry is 8 bytes (32-bit), 16 (64-bit)");
static_assert(offsetof(str_uint_map_entry, value) == (sizeof(void *) == 4 ? 4 : 8),
              "value at 4 (32-bit), 8 (64-bit)");
#endif

/** Looks a key up in a key/value map.
 * @param map the map, ended by its sentinel
 * @param key the key; searching for 0xFFFF itself always gives 0xFFFF
 * @return the value of the first entry whose key equals key, or 0xFFFF when
 *         the sentinel comes first (so a stored value of 0xFFFF cannot be
 *         told apart from a miss) */
LIBKRC_API uint32_t krclib_search_uint_uint_map(const uint_uint_map_entry *map, uint32_t key);

/** Finds the string that stands for a number.  The strings are never read or
 * compared.
 * @param map   the map, ended by its sentinel
 * @param value the number
 * @return the str of the first entry whose value equals value (the map's own
 *         pointer, not a copy), or null when the sentinel comes first */
LIBKRC_API const char *krclib_search_str_uint_map(const str_uint_map_entry *map, uint32_t value);

#ifdef __cplusplus
}
#endif

#endif
