#include <libkrc/crc16.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Bit by bit, straight from the parameters: poly 0x1021, MSB first.
uint16_t bitwise(const uint8_t *data, size_t n, uint16_t reg = 0) {
    for (size_t i = 0; i < n; ++i) {
        reg ^= static_cast<uint16_t>(data[i] << 8);
        for (int b = 0; b < 8; ++b)
            reg = static_cast<uint16_t>(reg & 0x8000 ? (reg << 1) ^ 0x1021 : reg << 1);
    }
    return reg;
}

uint16_t calc(const void *data, uint32_t n) {
    uint16_t crc = 0xBEEF;  // stale: must not influence the result
    krclib_crc16Calc(static_cast<const uint8_t *>(data), &crc, n);
    return crc;
}

}  // namespace

TEST(Crc16, CheckValueAndRandomBuffersAgainstBitwise) {
    EXPECT_EQ(calc("123456789", 9), 0x31C3);  // the published check value, which also vouches for bitwise()
    EXPECT_EQ(calc(nullptr, 0), 0);
    const unsigned seed = 1021;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    std::vector<uint8_t> buf(2048);
    for (auto &b : buf)
        b = static_cast<uint8_t>(rng());
    for (uint32_t n = 0; n + 8 <= buf.size(); n += 1 + n / 16) {
        const uint8_t *start = buf.data() + rng() % 8;  // unaligned starts too
        const uint16_t expected = bitwise(start, n);
        ASSERT_EQ(calc(start, n), expected) << "length " << n;
        const uint32_t split = n ? rng() % n : 0;  // buffer, then byte by byte
        uint16_t crc;
        krclib_crc16Calc(start, &crc, split);
        for (uint32_t i = split; i < n; ++i)
            krclib_crc16Update(start[i], &crc);
        ASSERT_EQ(crc, expected) << "length " << n << " split " << split;
    }
}
