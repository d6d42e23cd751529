// SPDX-License-Identifier: MIT
// Whether the core has a divide instruction, read once when the library is
// loaded; see divide.h.
#include "divide.h"

#ifdef LIBKRC_RUNTIME_UDIV
#include <asm/hwcap.h>
#include <sys/auxv.h>

namespace krc {

bool hw_udiv = false;

namespace {
[[gnu::constructor]] void detect_udiv() { hw_udiv = (getauxval(AT_HWCAP) & HWCAP_IDIVA) != 0; }
}  // namespace

}  // namespace krc
#endif
