// SPDX-License-Identifier: MIT
// Linked into the fuzz targets whose harness uses the interposed allocator,
// which run with the sanitizer runtimes as shared libraries.  The fuzzing
// engine brings in libstdc++ ahead of the ASan runtime in the list of needed
// libraries; libstdc++ defines no allocation function, so the interposed
// allocator's lookup still reaches the sanitizer's first, and the runtime's
// check of its own position is turned off.
extern "C" const char *__asan_default_options() { return "verify_asan_link_order=0"; }
