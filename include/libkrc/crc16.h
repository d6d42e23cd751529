/* SPDX-License-Identifier: MIT */
/** @file
 * CRC-16/XMODEM: width 16, polynomial 0x1021, initial value 0, most
 * significant bit first (no reflection of input or result), no final XOR.
 * Check value: the nine ASCII digits "123456789" give 0x31C3.
 *
 * Table-driven over a 256-entry constant table (512 bytes) computed when the
 * library is built.  Neither function allocates, keeps state between calls
 * or checks its arguments, and neither can fail; both are reentrant and may
 * be called from any thread.
 *
 * Continuation: krclib_crc16Calc() over a buffer A, then
 * krclib_crc16Update() with each byte of a buffer B, gives the CRC of A
 * followed by B.  For another initial value, set the running value to it and
 * feed every byte through krclib_crc16Update(); krclib_crc16Calc() always
 * starts from 0.
 */
#ifndef LIBKRC_CRC16_H
#define LIBKRC_CRC16_H

#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Computes the CRC of a buffer, from 0.  Note the argument order: the result
 * pointer stands between the data and the length.  O(length).
 * @param data   the bytes; not read (and may be null) when length is 0
 * @param crc    receives the CRC; the value it points to beforehand is never
 *               read (a length of 0 stores 0)
 * @param length number of bytes at data */
LIBKRC_API void krclib_crc16Calc(const uint8_t *data, uint16_t *crc, uint32_t length);

/** Advances a running CRC by one byte, in place.  From a running value of 0,
 * feeding bytes one by one gives the same result as krclib_crc16Calc() over
 * them.  O(1).
 * @param byte the next byte
 * @param crc  the caller's running value, updated */
LIBKRC_API void krclib_crc16Update(uint8_t byte, uint16_t *crc);

#ifdef __cplusplus
}
#endif

#endif
