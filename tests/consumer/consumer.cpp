// SPDX-License-Identifier: MIT
// An out-of-tree C++17 program built against an installed libkrc, as a
// user's project would be: it includes <libkrc/krc.hpp>, links the shared
// library and exits 0 only when every wrapper it tries answers correctly.
// It must build with and without exceptions and RTTI.
#include <libkrc/krc.hpp>

#include <cstdio>
#if defined(__cpp_exceptions)
#include <stdexcept>
#endif
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
    expect(l.front() == &values[0] && l.back() == &values[2], "list ends");
#if defined(__cpp_exceptions)
    // A callable that throws: the exception comes out of the wrapper once the
    // C walk is over, and the list is whole.
    bool caught = false;
    try {
        l.for_each([](int *v) {
            if (*v == 5)
                throw std::runtime_error("five");
        });
    } catch (const std::runtime_error &) {
        caught = true;
    }
    expect(caught && l.size() == 3u, "exception from a visitor");
#endif
}

void stores() {
    krc::queue<const char> q(2);
    expect(q && q.push("x") && q.push("y") && !q.push("z"), "queue fills");
    expect(std::string_view(q.pop()) == "x" && q.size() == 1u, "queue order");

    expect(q.front() != nullptr && std::string_view(q.front()) == "y", "queue front");

    krc::hash_map<std::string, int> m(8);
    const std::string key = "answer";
    int value = 42;
    expect(m && m.insert(&key, &value), "hash_map insert");
    const auto &cm = m;
    const int *found = cm.find(std::string("answer"));
    expect(found != nullptr && *found == 42 && cm.contains(key), "hash_map find");
    expect(m.erase(key) && !m.erase(key), "hash_map erase");

    krc::pool<Job> p(2);
    {
        krc::pool_ptr<Job> j = p.make("pooled", 7);
        expect(j && j->name == "pooled" && p.in_use() == 1u, "pool make");
    }
    expect(p.in_use() == 0u, "pool handle gives the block back");
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
