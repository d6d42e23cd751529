// SPDX-License-Identifier: MIT
// CRC-16/XMODEM, table-driven.
//
// The table is built by the compiler and lands in read-only data: there is no
// initialisation at load time and nothing for a first call to compute.
#include <libkrc/crc16.h>

#include <cstddef>
#include <cstdint>

namespace {

constexpr uint16_t kPoly = 0x1021;

// Byte i in the high half of the register, eight MSB-first division steps.
constexpr uint16_t table_entry(unsigned i) {
    auto reg = static_cast<uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit)
        reg = static_cast<uint16_t>((reg & 0x8000u) ? (reg << 1) ^ kPoly : reg << 1);
    return reg;
}

struct Table {
    uint16_t entry[256];
};

constexpr Table make_table() {
    Table t{};
    for (unsigned i = 0; i < 256; ++i)
        t.entry[i] = table_entry(i);
    return t;
}

constexpr Table crc16Table = make_table();

static_assert(sizeof crc16Table == 512, "the table is 512 bytes");
static_assert(crc16Table.entry[0] == 0x0000 && crc16Table.entry[1] == 0x1021 &&
                  crc16Table.entry[2] == 0x2042 && crc16Table.entry[3] == 0x3063 &&
                  crc16Table.entry[255] == 0x1EF0,
              "the standard table of the polynomial 0x1021");

// One byte into the register; the index is below 256 since both operands are.
constexpr uint16_t step(uint16_t reg, uint8_t byte) {
    return static_cast<uint16_t>(crc16Table.entry[(reg >> 8) ^ byte] ^ (reg << 8));
}

// The CRC of n bytes from a register of 0; used at compile time for the check
// value below and at run time by krclib_crc16Calc.
template <typename Byte>
constexpr uint16_t crc_of(const Byte *bytes, size_t n) {
    uint16_t reg = 0;
    for (size_t i = 0; i < n; ++i)
        reg = step(reg, static_cast<uint8_t>(bytes[i]));
    return reg;
}

static_assert(crc_of("123456789", 9) == 0x31C3, "check value of CRC-16/XMODEM");

}  // namespace

extern "C" void krclib_crc16Calc(const uint8_t *data, uint16_t *crc, uint32_t length) {
    *crc = crc_of(data, length);
}

extern "C" void krclib_crc16Update(uint8_t byte, uint16_t *crc) { *crc = step(*crc, byte); }
