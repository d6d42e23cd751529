// SPDX-License-Identifier: MIT
// Linked into the test programs of a coverage build only (LIBKRC_COVERAGE).
//
// A death test's child ends in abort(), which skips the exit handlers that
// write the gcov counters, so the lines it ran would count as never run.
// This installs a SIGABRT handler, inherited by every forked child, that
// writes the counters and then dies of the signal as before.
#include <csignal>

extern "C" void __gcov_dump(void);

namespace {

void dump_and_abort(int sig) {
    __gcov_dump();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

const bool installed = std::signal(SIGABRT, dump_and_abort) != SIG_ERR;

}  // namespace
