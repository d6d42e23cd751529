// Precondition checks of the library.
//
// KRC_CHECK is compiled in whatever NDEBUG says: a violated precondition is a
// bug in the caller, and continuing would corrupt the caller's memory.  It
// reports through the C library's own assertion routine, so the message reads
//   src/llist.cpp:123: list_add: Assertion `!lst->is_sublist' failed.
// and the process aborts.  The expression text is the source text of the
// argument, so every check must be written exactly as it is to be reported.
#ifndef LIBKRC_INTERNAL_CHECK_H
#define LIBKRC_INTERNAL_CHECK_H

// <assert.h> declares this only when NDEBUG is not defined, so declare it
// here with the C library's own signature.
extern "C" [[noreturn]] void __assert_fail(const char *assertion, const char *file,
                                           unsigned int line, const char *function) noexcept;

// __func__ must be the checking function's own, so this has to be a macro.
#define KRC_CHECK(expr) \
    (static_cast<bool>(expr) ? static_cast<void>(0) : __assert_fail(#expr, __FILE__, __LINE__, __func__))

#endif
