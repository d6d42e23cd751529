// SPDX-License-Identifier: MIT
#include <libkrc/crc16.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include <gtest/gtest.h>

static uint16_t bitwise(const uint8_t *data, size_t n, uint16_t reg = 0) {  // shift register: poly 0x1021, MSB first
    for (size_t i = 0; i < 8 * n; ++i) {
        const bool feedback = ((reg >> 15) ^ (data[i / 8] >> (7 - i % 8))) & 1;
        reg = static_cast<uint16_t>((reg << 1) ^ (feedback ? 0x1021 : 0));
    }
    return reg;
}

TEST(Crc16, CheckValueAndRandomBuffersAgainstBitwise) {
    uint16_t crc = 0xBEEF;  // stale: must not influence a calculation
    krclib_crc16Calc(nullptr, &crc, 0);
    EXPECT_EQ(crc, 0);
    krclib_crc16Calc(reinterpret_cast<const uint8_t *>("123456789"), &crc, 9);
    EXPECT_EQ(crc, 0x31C3);  // the published check value, which also vouches for bitwise()
    std::mt19937 rng(1021);  // fixed seed
    uint8_t buf[2048];
    std::generate(buf, buf + sizeof buf, [&] { return static_cast<uint8_t>(rng()); });
    for (uint32_t n = 0; n + 8 <= sizeof buf; n += 1 + n / 16) {
        const uint8_t *start = buf + rng() % 8;  // unaligned starts too
        const uint32_t split = rng() % (n + 1);
        krclib_crc16Calc(start, &crc, split);  // over the previous result, then continued byte by byte
        for (uint32_t i = split; i < n; ++i)
            krclib_crc16Update(start[i], &crc);
        ASSERT_EQ(crc, bitwise(start, n)) << "length " << n << " split " << split;
    }
}
