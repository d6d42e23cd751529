/* CRC-16/XMODEM: width 16, polynomial 0x1021, initial value 0, most
 * significant bit first (no reflection of input or result), no final XOR.
 * Check value: the nine ASCII digits "123456789" give 0x31C3.
 *
 * Table-driven: one lookup, two shifts and two XORs per byte, over a
 * 256-entry table (512 bytes) that is constant data in the library, computed
 * when the library is built.  Neither function allocates, keeps state
 * between calls or checks its arguments, and neither can fail; both are
 * reentrant and may be called from any thread.
 *
 * Continuation: krclib_crc16Calc over a buffer A, then krclib_crc16Update
 * with each byte of a buffer B, gives the CRC of A followed by B.  For
 * another initial value, set the running value to it and feed every byte
 * through krclib_crc16Update; krclib_crc16Calc always starts from 0.
 */
#ifndef LIBKRC_CRC16_H
#define LIBKRC_CRC16_H

#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Stores through crc the CRC of the length bytes at data, computed from 0;
 * the value crc points to beforehand is never read.  A length of 0 stores 0
 * and does not read data (which may then be null).  Note the argument order:
 * the result pointer stands between the data and the length.  O(length). */
LIBKRC_API void krclib_crc16Calc(const uint8_t *data, uint16_t *crc, uint32_t length);

/* Advances the caller's running CRC value *crc by one byte, in place.
 * From a running value of 0, feeding bytes one by one gives the same result
 * as krclib_crc16Calc over them.  O(1). */
LIBKRC_API void krclib_crc16Update(uint8_t byte, uint16_t *crc);

#ifdef __cplusplus
}
#endif

#endif
