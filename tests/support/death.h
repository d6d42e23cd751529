/* SPDX-License-Identifier: MIT */
// Death-test matchers for the library's precondition checks.
#ifndef LIBKRC_TESTS_DEATH_H
#define LIBKRC_TESTS_DEATH_H

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace krc_test {

// Escapes s for use inside a POSIX extended regular expression.
inline std::string regex_escape(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (std::string(".[]{}()\\*+?^$|").find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// The C library's assertion message for a check in `file` (relative to the
// source root, e.g. "src/llist.cpp") inside function `func`.
inline std::string assertion_regex(const std::string &file, const std::string &func,
                                   const std::string &expr) {
    return "(^|[ /])" + regex_escape(file) + ":[0-9]+: " + regex_escape(func) + ": Assertion `" +
           regex_escape(expr) + "' failed\\.";
}

}  // namespace krc_test

// Expects `stmt` to abort with the assertion `expr` failing in function
// `func` of source file `file`.
#define EXPECT_KRC_ASSERT(stmt, file, func, expr) \
    EXPECT_DEATH(stmt, ::krc_test::assertion_regex(file, func, expr))

#endif
