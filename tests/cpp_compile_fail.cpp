// SPDX-License-Identifier: MIT
// Compiled by the test suite with one KRC_CASE_* defined: each wrong case
// must fail with the wrappers' own message (tests/CMakeLists.txt names it),
// the right one must compile, with and without exceptions.
#include <libkrc/krc.hpp>

#include <cstdint>
#include <list>
#include <string>

struct Rec {
    int value;
    Rec *link;
    Rec *prev;
    long not_a_link;
    const Rec *const_link;
};
struct Base {
    struct Derived *link;
};
struct Derived : Base {
    int value;
};
struct Job {
    explicit Job(std::string n) : name(std::move(n)) {}
    std::string name;
    Job *next = nullptr;
    Job *prev = nullptr;
};
struct by_pointer {
    bool operator()(const Rec *a, const Rec *b) const { return a->value < b->value; }
};
struct by_value {
    bool operator()(int a, int b) const { return a < b; }
};
struct pointer_equal {
    bool operator()(const int *a, const int *b) const { return *a == *b; }
};

#if defined(KRC_CASE_wrong_link)
krc::slist<Rec, &Rec::not_a_link> list;
#elif defined(KRC_CASE_wrong_prev)
krc::dlist<Rec, &Rec::link, &Rec::const_link> list;
#elif defined(KRC_CASE_same_member)
krc::dlist<Rec, &Rec::link, &Rec::link> list;
#elif defined(KRC_CASE_inherited_link)
krc::slist<Derived, &Derived::link> list;
#elif defined(KRC_CASE_wrong_compare)
krc::slist<Rec, &Rec::link, by_pointer> list;
#elif defined(KRC_CASE_wrong_order)
void f(krc::list<int> &l) { l.sort<by_value>(); }
#elif defined(KRC_CASE_wrong_equal)
krc::hash_map<int, int, krc::default_hash<int>, pointer_equal> map(4);
#elif defined(KRC_CASE_crc_list)
std::uint16_t f(const std::list<std::uint8_t> &bytes) { return krc::crc16(bytes); }
#elif defined(KRC_CASE_crc_literal)
std::uint16_t f() { return krc::crc16("123456789"); }
#else
krc::slist<Rec, &Rec::link> list;
krc::dlist<Rec, &Rec::link, &Rec::prev> dlist;
krc::dlist<Job, &Job::next, &Job::prev> jobs;  // a record with a constructor and a std::string
std::uint16_t f(const std::string &text) { return krc::crc16(text); }
#endif
