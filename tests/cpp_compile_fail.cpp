// SPDX-License-Identifier: MIT
// Compiled by the test suite with one KRC_CASE_* defined: the wrong cases
// must fail with the wrappers' message, the right one must compile.
#include <libkrc/krc.hpp>

struct Rec {
    int value;
    Rec *link;
    Rec *prev;
    long not_a_link;
    const Rec *const_link;
};

#if defined(KRC_CASE_wrong_link)
krc::slist<Rec, &Rec::not_a_link> list;
#elif defined(KRC_CASE_wrong_prev)
krc::dlist<Rec, &Rec::link, &Rec::const_link> list;
#else
krc::slist<Rec, &Rec::link> list;
krc::dlist<Rec, &Rec::link, &Rec::prev> dlist;
#endif
