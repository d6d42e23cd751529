#include <libkrc/searchmap.h>

#include <cstdint>

#include <gtest/gtest.h>

#include "death.h"

TEST(SearchMap, UintUint) {
    static const uint_uint_map_entry map[] = {
        {3, 30}, {7, 70}, {3, 31}, {0xFFFFFFFFu, 99}, {0x1FFFF, 5}, {0, 0xFFFF}, {0xFFFF, 1234}, {5, 50},
    };
    static const uint_uint_map_entry only_sentinel[] = {{0xFFFF, 8}};
    const struct {
        uint32_t key, value;
    } cases[] = {
        {3, 30},               // the first of two matches
        {7, 70},
        {0xFFFFFFFFu, 99},     // an ordinary key
        {0x1FFFF, 5},          // the whole 32 bits are compared with the sentinel
        {0, 0xFFFF},           // stored value indistinguishable from a miss
        {5, 0xFFFF},           // behind the sentinel
        {0xFFFF, 0xFFFF},      // the sentinel's value is never returned
        {42, 0xFFFF},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(krclib_search_uint_uint_map(map, c.key), c.value) << c.key;
        EXPECT_EQ(krclib_search_uint_uint_map(only_sentinel, c.key), 0xFFFFu) << c.key;
    }
}

TEST(SearchMap, StrUint) {
    static const char zero[] = "zero", one[] = "one", uno[] = "uno", two[] = "two";
    static const str_uint_map_entry map[] = {{zero, 0}, {one, 1}, {uno, 1}, {nullptr, 2}, {two, 2}};
    static const str_uint_map_entry only_sentinel[] = {{nullptr, 0}};
    EXPECT_EQ(krclib_search_str_uint_map(map, 0), zero);  // the map's own pointer
    EXPECT_EQ(krclib_search_str_uint_map(map, 1), one);
    EXPECT_EQ(krclib_search_str_uint_map(map, 2), nullptr);  // null str ends the map
    EXPECT_EQ(krclib_search_str_uint_map(map, 0xFFFF), nullptr);
    EXPECT_EQ(krclib_search_str_uint_map(only_sentinel, 0), nullptr);
}

TEST(SearchMapDeath, NullMap) {
    EXPECT_KRC_ASSERT(krclib_search_uint_uint_map(nullptr, 1), "src/searchmap.cpp", "krclib_search_uint_uint_map",
                      "map != NULL");
    EXPECT_KRC_ASSERT(krclib_search_str_uint_map(nullptr, 1), "src/searchmap.cpp", "krclib_search_str_uint_map",
                      "map != NULL");
}
