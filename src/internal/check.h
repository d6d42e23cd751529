/* SPDX-License-Identifier: MIT */
// Precondition checks of the library.
//
// KRC_CHECK is compiled in whatever NDEBUG says: a violated precondition is a
// bug in the caller, and continuing would corrupt the caller's memory.  It
// reports through the C library's own assertion routine, so the message reads
//   src/llist.cpp:123: list_add: Assertion `!lst->is_sublist' failed.
// and the process aborts.
//
//   KRC_CHECK(cond)              reports the source text of cond;
//   KRC_CHECK_TEXT(cond, "text") reports "text", for conditions whose natural
//                                C++ spelling differs from the message
//                                (`p != nullptr` reported as "p != NULL").
//
// The function reported is the checking function's own name, so internal
// functions that check (the memory pool's stack_pop and stack_push) keep
// their names: callers see them in messages.
//
// A passing check costs its compare and a branch predicted not taken; the
// report is a call to a cold, out-of-line function, kept away from the hot
// code, and on Thumb-2 a call that GCC does not see (KRC_CHECK_REPORT).
#ifndef LIBKRC_INTERNAL_CHECK_H
#define LIBKRC_INTERNAL_CHECK_H

#include <cstdint>
#include <cstdlib>  // also defines the C library's identification macros
#include <cstring>

#if defined(__GLIBC__)
// <assert.h> declares this only when NDEBUG is not defined, so declare it
// here with glibc's own signature.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the C library's routine, by its name
extern "C" [[noreturn]] void __assert_fail(const char *assertion, const char *file, unsigned int line,
                                           const char *function) noexcept;
#else
#include <cstdio>
#endif

namespace krc {

// Whether two strings are equal, at compile time.
constexpr bool same_text(const char *a, const char *b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// Reports a failed check in this translation unit's source file and aborts.
[[noreturn, gnu::always_inline]] static inline void report(const char *text, unsigned line,
                                                           const char *function) noexcept {
#if defined(__GLIBC__)
    __assert_fail(text, __BASE_FILE__, line, function);
#else
    fprintf(stderr, "%s:%u: %s: Assertion `%s' failed.\n", __BASE_FILE__, line, function, text);
    abort();
#endif
}

// The failure path of a check: one copy per source file, so that the file
// name is not passed at every check; KRC_CHECK_TEXT makes sure that checks
// stand in that file itself.
[[noreturn, gnu::cold, gnu::noinline, maybe_unused]] static void check_failed(const char *text, unsigned line,
                                                                            const char *function) noexcept {
    report(text, line, function);
}

#if defined(__thumb2__) && defined(__GNUC__) && !defined(__clang__)
// The failure path of a check on 32-bit ARM (Thumb-2): a `bl` to this routine
// followed by the check's own data, read through the return address:
//   .word text - .   .word function - .   .short line
// 14 bytes a check, against 20 to 24 for loading three arguments; and since
// the call is hidden from GCC in an asm statement, GCC does not save lr for
// it (it would for a call it sees, noreturn or not), so a checking function
// that calls nothing else keeps no prologue on its hot path.  Nothing comes
// back from the call, so lr may be overwritten.
[[noreturn, gnu::cold, gnu::noinline, maybe_unused]] static void check_failed_here() noexcept {
    const auto *site = reinterpret_cast<const unsigned char *>(
        reinterpret_cast<uintptr_t>(__builtin_return_address(0)) & ~uintptr_t{1});
    int32_t text = 0;
    int32_t function = 0;
    uint16_t line = 0;
    memcpy(&text, site, sizeof text);
    memcpy(&function, site + 4, sizeof function);
    memcpy(&line, site + 8, sizeof line);
    report(reinterpret_cast<const char *>(site + text), line, reinterpret_cast<const char *>(site + 4 + function));
}
#endif

}  // namespace krc

// How a failed check reaches check_failed: through check_failed_here on
// Thumb-2 (GCC sees the reference to it as an "X" operand, so it keeps the
// routine and names it consistently, under LTO too), by a plain call
// elsewhere.
#if defined(__thumb2__) && defined(__GNUC__) && !defined(__clang__)
#define KRC_CHECK_REPORT(text, line, function)                                                        \
    do {                                                                                              \
        static_assert((line) <= UINT16_MAX, "line numbers of checks fit in 16 bits");                 \
        asm volatile("bl %c0\n\t.word %c1 - .\n\t.word %c2 - .\n\t.short %c3"                          \
                     :                                                                                \
                     : "X"(krc::check_failed_here), "X"(text), "X"(function), "i"(line));             \
        __builtin_unreachable();                                                                      \
    } while (false)
#else
#define KRC_CHECK_REPORT(text, line, function) krc::check_failed(text, line, function)
#endif

// __func__ must be the checking function's own, so these have to be macros.
#define KRC_CHECK_TEXT(cond, text)                                                                    \
    do {                                                                                              \
        static_assert(krc::same_text(__FILE__, __BASE_FILE__), "checks stand in a source file");      \
        if (__builtin_expect(!(cond), 0))                                                             \
            KRC_CHECK_REPORT(text, __LINE__, __func__);                                               \
    } while (false)

#define KRC_CHECK(cond) KRC_CHECK_TEXT(cond, #cond)

#endif
