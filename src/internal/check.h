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
// code.
#ifndef LIBKRC_INTERNAL_CHECK_H
#define LIBKRC_INTERNAL_CHECK_H

#include <cstdlib>  // also defines the C library's identification macros

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
// One copy per source file, so that the file name is not passed at every
// check; KRC_CHECK_TEXT makes sure that checks stand in that file itself.
[[noreturn, gnu::cold, gnu::noinline, maybe_unused]] static void check_failed(const char *text, unsigned line,
                                                                            const char *function) noexcept {
#if defined(__GLIBC__)
    __assert_fail(text, __BASE_FILE__, line, function);
#else
    fprintf(stderr, "%s:%u: %s: Assertion `%s' failed.\n", __BASE_FILE__, line, function, text);
    abort();
#endif
}

}  // namespace krc

// How a failed check reaches check_failed.  On 32-bit ARM by a plain branch
// with the arguments in r0-r2: check_failed never returns, so nothing needs
// the return address, yet GCC keeps lr saved for a call it sees (it never
// makes a tail call of a noreturn function), and every checking function
// then pushes and pops it on its hot path.  The branch is hidden from GCC in
// an asm statement, so the checking functions that call nothing else keep
// lr in its register; GCC still sees the reference to check_failed ("X"),
// so it keeps the routine and names it consistently, under LTO too.
#if defined(__arm__) && defined(__GNUC__) && !defined(__clang__)
#define KRC_CHECK_REPORT(text, line, function)                                                        \
    do {                                                                                              \
        register const char *krc_r0_ asm("r0") = (text);                                              \
        register unsigned krc_r1_ asm("r1") = (line);                                                 \
        register const char *krc_r2_ asm("r2") = (function);                                          \
        asm volatile("b %c3" : : "r"(krc_r0_), "r"(krc_r1_), "r"(krc_r2_), "X"(krc::check_failed)); \
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
