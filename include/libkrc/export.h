/* SPDX-License-Identifier: MIT */
/** @file
 * Symbol visibility of the library's API.  The library is built with hidden
 * visibility; only declarations marked LIBKRC_API are exported. */
#ifndef LIBKRC_EXPORT_H
#define LIBKRC_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
/** Marks a declaration as part of the exported API. */
#define LIBKRC_API __attribute__((visibility("default")))
#else
#define LIBKRC_API
#endif

#endif
