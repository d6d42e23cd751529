// SPDX-License-Identifier: MIT
#include <libkrc/searchmap.h>

#include <gtest/gtest.h>

#include "death.h"

TEST(SearchMap, EdgeCases) {
    // 3 twice (the first wins); 0xFFFFFFFF and 0x1FFFF ordinary keys; 5 behind the sentinel, whose value never shows.
    static const uint_uint_map_entry map[] = {{3, 30}, {0xFFFFFFFFu, 99}, {3, 31}, {0x1FFFF, 5}, {0xFFFF, 1}, {5, 50}};
    static const uint_uint_map_entry sentinel_only[] = {{0xFFFF, 8}};
    const uint32_t cases[][2] = {{3, 30}, {0xFFFFFFFFu, 99}, {0x1FFFF, 5}, {5, 0xFFFF}, {0xFFFF, 0xFFFF}, {42, 0xFFFF}};
    for (const auto &c : cases) {
        EXPECT_EQ(krclib_search_uint_uint_map(map, c[0]), c[1]) << c[0];
        EXPECT_EQ(krclib_search_uint_uint_map(sentinel_only, c[0]), 0xFFFFu) << c[0];
    }
    static const str_uint_map_entry strs[] = {{"zero", 0}, {"one", 1}, {"uno", 1}, {nullptr, 2}, {"two", 2}};
    static const str_uint_map_entry str_sentinel_only[] = {{nullptr, 0}};
    EXPECT_EQ(krclib_search_str_uint_map(strs, 0), strs[0].str);  // the map's own pointer, and 0 an ordinary value
    EXPECT_EQ(krclib_search_str_uint_map(strs, 1), strs[1].str);  // the first match
    EXPECT_EQ(krclib_search_str_uint_map(strs, 2), nullptr);      // a null str ends the map
    EXPECT_EQ(krclib_search_str_uint_map(str_sentinel_only, 0), nullptr);
}

TEST(SearchMapDeathTest, NullMap) {
    const char *file = "src/searchmap.cpp";
    EXPECT_KRC_ASSERT(krclib_search_uint_uint_map(nullptr, 1), file, "krclib_search_uint_uint_map", "map != NULL");
    EXPECT_KRC_ASSERT(krclib_search_str_uint_map(nullptr, 1), file, "krclib_search_str_uint_map", "map != NULL");
}
