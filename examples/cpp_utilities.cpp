// SPDX-License-Identifier: MIT
// The utilities through the C++ face: sliding averages, CRC-16 over byte
// ranges, and look-ups in constant maps.
#include <libkrc/krc.hpp>

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

int main() {
    krc::sliding_average temps(4);  // on the heap
    if (!temps)
        return 1;
    krc::inplace_sliding_average<3> load;  // inside the object, nothing allocated
    for (uint32_t t : {20u, 22u, 21u, 25u, 30u}) {
        temps.add(t);
        load.add(t);
        std::printf("add %2u: mean %.2f over %u, last-3 mean %.2f\n", static_cast<unsigned>(t), temps.average(),
                    static_cast<unsigned>(temps.size()), load.average());
    }
    std::printf("variance of the full window: %u\n", static_cast<unsigned>(temps.variance()));

    const std::string_view check = "123456789";
    const std::array<uint8_t, 4> frame = {0x01, 0x02, 0x03, 0x04};
    const std::vector<char> text(check.begin(), check.end());
    std::printf("crc16 string_view 0x%04X\n", krc::crc16(check));
    std::printf("crc16 vector      0x%04X\n", krc::crc16(text));
    std::printf("crc16 array       0x%04X\n", krc::crc16(frame));
    const uint16_t head = krc::crc16(check.substr(0, 5));
    std::printf("crc16 in parts    0x%04X\n", krc::crc16(head, check.substr(5)));

    static const uint_uint_map_entry ports[] = {{22, 1}, {80, 2}, {443, 3}, {0xFFFF, 0}};
    static const str_uint_map_entry levels[] = {{"debug", 0}, {"info", 1}, {"error", 3}, {nullptr, 0}};
    for (uint32_t port : {80u, 8080u}) {
        if (auto slot = krc::search(ports, port))
            std::printf("port %u -> slot %u\n", static_cast<unsigned>(port), static_cast<unsigned>(*slot));
        else
            std::printf("port %u -> not mapped\n", static_cast<unsigned>(port));
    }
    for (uint32_t level : {1u, 2u}) {
        const char *name = krc::search(levels, level);
        std::printf("level %u -> %s\n", static_cast<unsigned>(level), name ? name : "unknown");
    }
    return 0;
}
