// SPDX-License-Identifier: MIT
/// @file krc.hpp
/// @brief The typed C++17 face of libkrc, every family group in one include.
///
/// Namespace krc, header-only, inline over the C API: the objects are the C
/// objects, so a C++ part and a C part of a program can share them through
/// get(), and the library exports nothing for C++.  Needs neither exceptions
/// nor RTTI: a failure comes back as the C function reports it (null, false,
/// an empty optional, or an owning object that holds nothing), and a violated
/// precondition aborts through the library's own check.  Counts and sizes
/// are krc::size_type (32 bits, as in C).
///
/// Callables are used in place, by reference, for the duration of the call,
/// whatever their size and on every target; one that throws has its
/// exception carried over the C call to the caller, the container left whole
/// (krc_detail.hpp states both rules; each operation states what it leaves).
///
/// - krc_lists.hpp: krc::list, krc::slist, krc::dlist
/// - krc_stores.hpp: krc::queue, krc::inplace_queue, krc::hash_map, krc::pool
/// - krc_utilities.hpp: krc::sliding_average, krc::inplace_sliding_average,
///   krc::crc16, krc::search
#ifndef LIBKRC_KRC_HPP
#define LIBKRC_KRC_HPP

#include <libkrc/krc_lists.hpp>
#include <libkrc/krc_stores.hpp>
#include <libkrc/krc_utilities.hpp>

/// @brief The C++ wrappers of libkrc.
namespace krc {}

#endif
