/* SPDX-License-Identifier: MIT */
/* An out-of-tree program built against an installed libkrc, the way a user's
 * project would be: it includes the umbrella header, links the shared
 * library and exits 0 only when the library answers correctly. */
#include <stdio.h>
#include <string.h>

#include <libkrc/libkrc.h>

int main(void) {
    static const char digits[] = "123456789";
    static char first[] = "first", second[] = "second";
    krqueue *q = krqueue_new(2);
    uint16_t crc = 0;
    int ok;

    krclib_crc16Calc((const uint8_t *)digits, &crc, (uint32_t)strlen(digits));
    ok = q != NULL && krqueue_add(q, first) && krqueue_add(q, second) && !krqueue_add(q, first) &&
         krqueue_get(q) == first && krqueue_get(q) == second && crc == 0x31C3;
    krqueue_free(q, NULL);
    printf("consumer: crc 0x%04X, queue %s\n", (unsigned)crc, ok ? "ok" : "WRONG");
    return ok ? 0 : 1;
}
