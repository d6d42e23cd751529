// SPDX-License-Identifier: MIT
// An out-of-tree C++17 program built against an installed libkrc, as a
// user's project would be: it includes <libkrc/krc.hpp>, links the shared
// library and exits 0 only when every wrapper it tries answers correctly.
// It must build with and without exceptions and RTTI.
#include <libkrc/krc.hpp>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

struct Job {
    explicit Job(std::string n, int p) : name(std::move(n)), priority(p) {}
    std::string name;
    int priority;
    Job *next = nullptr;
    Job *prev = nullptr;
};

struct by_priority {
    bool operator()(const Job &a, const Job &b) const { return a.priority < b.priority; }
};

int failures = 0;

void expect(bool ok, const char *what) {
    if (!ok) {
        std::printf("consumer++: WRONG %s\n", what);
        ++failures;
    }
}

void lists() {
    Job a("a", 3), b("b", 1), c("c", 2);
    krc::slist<Job, &Job::next, by_priority> sorted;
    sorted.insert_sorted(&a);
    sorted.insert_sorted(&b);
    sorted.insert_sorted(&c);
    std::string order;
    for (Job *j : sorted)
        order += j->name;
    expect(order == "bca" && sorted.size() == 3, "slist sorted insertion");
    while (sorted.pop_front() != nullptr) {
    }

    krc::dlist<Job, &Job::next, &Job::prev> chain;
    chain.push_back(&a);
    chain.push_back(&b);
    chain.push_back(&c);
    order.clear();
    for (Job *j : chain.reversed())
        order += j->name;
    expect(order == "cba", "dlist backward walk");

    int values[] = {4, 5, 6};
    krc::list<int> l;
    for (int &v : values)
        expect(l.push_back(&v), "list append");
    // A stateful callable: it is used in place, so its state is the caller's.
    struct tally {
        int sum = 0;
        void operator()(int *v) { sum += *v; }
    } t;
    l.for_each(t);
    expect(t.sum == 15 && l.size() == 3u, "list visit with state");
}

void stores() {
    krc::queue<const char> q(2);
    expect(q && q.push("x") && q.push("y") && !q.push("z"), "queue fills");
    expect(std::string_view(q.pop()) == "x" && q.size() == 1u, "queue order");

    krc::hash_map<std::string, int> m(8);
    const std::string key = "answer";
    int value = 42;
    expect(m && m.insert(&key, &value), "hash_map insert");
    const int *found = m.find(std::string("answer"));
    expect(found != nullptr && *found == 42, "hash_map find");

    krc::pool<Job> p(2);
    Job *j = p.create("pooled", 7);
    expect(j != nullptr && j->name == "pooled" && p.in_use() == 1u, "pool create");
    p.destroy(j);
    expect(p.in_use() == 0u, "pool destroy");
}

void utilities() {
    expect(krc::crc16(std::string_view("123456789")) == 0x31C3, "crc16 of text");
    krc::inplace_sliding_average<4> avg;
    for (std::uint32_t s : {2u, 4u, 6u, 8u, 10u})
        avg.add(s);
    expect(avg.average() == 7.0, "sliding average");
}

}  // namespace

int main() {
    lists();
    stores();
    utilities();
    std::printf("consumer++: %s\n", failures == 0 ? "ok" : "WRONG");
    return failures == 0 ? 0 : 1;
}
