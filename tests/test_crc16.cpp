#include <libkrc/crc16.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Bit by bit, straight from the parameters: poly 0x1021, init 0, MSB first.
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

TEST(Crc16, PublishedValues) {
    EXPECT_EQ(calc("123456789", 9), 0x31C3);
    EXPECT_EQ(calc("abc", 3), 0x9DD6);
    EXPECT_EQ(calc(nullptr, 0), 0);
    EXPECT_EQ(calc("x", 0), 0);
    const std::vector<uint8_t> zeros(300, 0);
    for (uint32_t n : {1u, 2u, 17u, 300u})
        EXPECT_EQ(calc(zeros.data(), n), 0) << n;
}

TEST(Crc16, MatchesBitwiseOnRandomBuffers) {
    const unsigned seed = 1021;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    std::vector<uint8_t> buf(2048);
    for (auto &b : buf)
        b = static_cast<uint8_t>(rng());
    for (uint32_t n = 0; n <= buf.size(); n += 1 + n / 16) {
        const uint32_t off = rng() % 8;  // unaligned starts too
        ASSERT_EQ(calc(buf.data() + off, n - (n > off ? off : n)), bitwise(buf.data() + off, n - (n > off ? off : n)))
            << "length " << n;
    }
}

TEST(Crc16, UpdateContinuesAndTakesAnyInitialValue) {
    uint16_t crc = 0;
    krclib_crc16Update(0x01, &crc);
    EXPECT_EQ(crc, 0x1021);

    std::mt19937 rng(7);
    std::vector<uint8_t> buf(257);
    for (auto &b : buf)
        b = static_cast<uint8_t>(rng());
    for (uint32_t split : {0u, 1u, 100u, 256u, 257u}) {
        krclib_crc16Calc(buf.data(), &crc, split);
        for (uint32_t i = split; i < buf.size(); ++i)
            krclib_crc16Update(buf[i], &crc);
        EXPECT_EQ(crc, bitwise(buf.data(), buf.size())) << "split " << split;
    }
    crc = 0xFFFF;  // a different initial value gives the 0xFFFF-seeded check value
    for (const char *c = "123456789"; *c; ++c)
        krclib_crc16Update(static_cast<uint8_t>(*c), &crc);
    EXPECT_EQ(crc, 0x29B1);
}
