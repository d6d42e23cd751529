/* SPDX-License-Identifier: MIT */
/* CRC-16/XMODEM over a buffer, and continued byte by byte. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <libkrc/crc16.h>

int main(void) {
    static const char check[] = "123456789";
    static const char frame[] = "HELLO";
    static const char tail[] = ", WORLD";
    uint16_t crc;
    size_t i;

    krclib_crc16Calc((const uint8_t *)check, &crc, (uint32_t)strlen(check));
    printf("crc(\"%s\") = 0x%04X (check value 0x31C3)\n", check, (unsigned)crc);

    krclib_crc16Calc((const uint8_t *)frame, &crc, (uint32_t)strlen(frame));
    printf("crc(\"%s\") = 0x%04X\n", frame, (unsigned)crc);
    for (i = 0; i < strlen(tail); i++)
        krclib_crc16Update((uint8_t)tail[i], &crc);
    printf("continued with \"%s\": 0x%04X\n", tail, (unsigned)crc);

    {
        char whole[sizeof frame + sizeof tail];
        uint16_t direct;
        strcpy(whole, frame);
        strcat(whole, tail);
        krclib_crc16Calc((const uint8_t *)whole, &direct, (uint32_t)strlen(whole));
        printf("crc(\"%s\") = 0x%04X\n", whole, (unsigned)direct);
        return direct == crc ? 0 : 1;
    }
}
