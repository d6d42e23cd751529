#include <libkrc/searchmap.h>

#include <gtest/gtest.h>

#include "death.h"

TEST(SearchMap, KeyToValue) {
    static const uint_uint_map_entry map[] = {{3, 30}, {7, 70}, {3, 31}, {0xFFFFFFFFu, 99}, {0x1FFFF, 5},
                                              {0, 0xFFFF}, {0xFFFF, 1234}, {5, 50}};
    static const uint_uint_map_entry empty[] = {{0xFFFF, 8}};
    const uint32_t cases[][2] = {
        {3, 30},           // the first of two matches
        {0xFFFFFFFFu, 99}, // an ordinary key
        {0x1FFFF, 5},      // the whole 32-bit key is compared with the sentinel
        {0, 0xFFFF},       // a stored 0xFFFF looks like a miss
        {5, 0xFFFF},       // behind the sentinel
        {0xFFFF, 0xFFFF},  // the sentinel's value is never returned
        {42, 0xFFFF},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(krclib_search_uint_uint_map(map, c[0]), c[1]) << c[0];
        EXPECT_EQ(krclib_search_uint_uint_map(empty, c[0]), 0xFFFFu) << c[0];
    }
}

TEST(SearchMap, ValueToString) {
    static const char zero[] = "zero", one[] = "one";
    static const str_uint_map_entry map[] = {{zero, 0}, {one, 1}, {"uno", 1}, {nullptr, 2}, {"two", 2}};
    static const str_uint_map_entry empty[] = {{nullptr, 0}};
    EXPECT_EQ(krclib_search_str_uint_map(map, 0), zero);  // the map's own pointer, and 0 an ordinary value
    EXPECT_EQ(krclib_search_str_uint_map(map, 1), one);
    EXPECT_EQ(krclib_search_str_uint_map(map, 2), nullptr);  // a null str ends the map
    EXPECT_EQ(krclib_search_str_uint_map(empty, 0), nullptr);
}

TEST(SearchMapDeath, NullMap) {
    const char *file = "src/searchmap.cpp";
    EXPECT_KRC_ASSERT(krclib_search_uint_uint_map(nullptr, 1), file, "krclib_search_uint_uint_map", "map != NULL");
    EXPECT_KRC_ASSERT(krclib_search_str_uint_map(nullptr, 1), file, "krclib_search_str_uint_map", "map != NULL");
}
