// SPDX-License-Identifier: MIT
// Sentinel-terminated constant maps: plain linear scans.
#include <libkrc/searchmap.h>

#include <cstdint>

#include "internal/check.h"

namespace {

// Ends a key/value map, compared with the whole 32-bit key; also the result
// of a search that finds nothing.
constexpr uint32_t kEndKey = 0xFFFF;

}  // namespace

extern "C" uint32_t krclib_search_uint_uint_map(const uint_uint_map_entry *map, uint32_t key) {
    KRC_CHECK_TEXT(map != nullptr, "map != NULL");
    for (const uint_uint_map_entry *e = map;; ++e) {
        if (e->key == kEndKey)
            return kEndKey;
        if (e->key == key)
            return e->value;
    }
}

extern "C" const char *krclib_search_str_uint_map(const str_uint_map_entry *map, uint32_t value) {
    KRC_CHECK_TEXT(map != nullptr, "map != NULL");
    for (const str_uint_map_entry *e = map;; ++e) {
        if (e->str == nullptr)
            return nullptr;
        if (e->value == value)
            return e->str;
    }
}
