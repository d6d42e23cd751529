/* SPDX-License-Identifier: MIT */
// Unsigned 32-bit remainder for the per-operation paths.
//
// The 32-bit ARM baseline has no divide instruction, so the compiler's `%`
// there is a call into the software division routine (tens of instructions).
// Most cores in use do have udiv; whether this one does is read from the
// kernel's hardware capabilities once, when the library is loaded
// (divide.cpp), and a remainder then costs a load and a branch on top of the
// two-instruction hardware one.  Cores without the unit keep the software
// routine.  Both paths give the same remainder.
#ifndef LIBKRC_INTERNAL_DIVIDE_H
#define LIBKRC_INTERNAL_DIVIDE_H

#include <cstdint>

#if defined(__arm__) && !defined(__ARM_ARCH_EXT_IDIV__)
#define LIBKRC_RUNTIME_UDIV 1
#endif

namespace krc {

#ifdef LIBKRC_RUNTIME_UDIV
// Whether this core divides in hardware; set once, at load.
[[gnu::visibility("hidden")]] extern bool hw_udiv;

inline uint32_t udiv(uint32_t n, uint32_t d) {
    uint32_t q;
    // Assembled for this instruction only: the compiler itself keeps to the
    // baseline, and this path runs only where the kernel reports the unit.
    asm(".arch_extension idiv\n\tudiv %0, %1, %2" : "=r"(q) : "r"(n), "r"(d));
    return q;
}

// n % d, d > 0.
inline uint32_t modulo(uint32_t n, uint32_t d) {
    if (__builtin_expect(static_cast<long>(hw_udiv), 1))
        return n - udiv(n, d) * d;
    return n % d;
}
#else
// n % d, d > 0.
inline uint32_t modulo(uint32_t n, uint32_t d) { return n % d; }
#endif

}  // namespace krc

#endif
