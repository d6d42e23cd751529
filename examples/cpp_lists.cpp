// SPDX-License-Identifier: MIT
// The three lists through the C++ face: a generic list of strings, and two
// intrusive lists threading the caller's own records.
#include <libkrc/krc.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct by_name {
    bool operator()(const char *a, const char *b) const { return std::strcmp(a, b) < 0; }
};
struct duplicate {
    char *operator()(const char *s) const { return strdup(s); }
};
struct release {
    void operator()(const char *s) const { std::free(const_cast<char *>(s)); }
};

void show(const char *title, const krc::list<const char> &names) {
    std::printf("%-9s [", title);
    names.for_each([](const char *s) { std::printf("%s", s); }, [] { std::printf(", "); });
    std::printf("] (%u)\n", static_cast<unsigned>(names.size()));
}

struct Task {
    int priority;
    const char *what;
    Task *link;              // for the to-do list
    Task *next, *prev;       // for the history
};
struct by_priority {
    bool operator()(const Task &a, const Task &b) const { return a.priority < b.priority; }
};

}  // namespace

int main() {
    static const char *const fruit[] = {"mango", "fig", "apple", "kiwi", "banana"};
    krc::list<const char> names;
    for (const char *f : fruit)
        if (!names.push_back(f))
            return 1;
    show("fruit", names);

    std::size_t min_len = 4;  // captured by reference, passed through the context pointer
    auto longer = names.filter([&](const char *s) { return std::strlen(s) > min_len; });
    if (!longer)
        return 1;
    show("longer", longer);
    auto kiwi = names.find_if([](const char *s) { return std::strcmp(s, "kiwi") == 0; });
    std::printf("%-9s %s\n", "found", kiwi != names.end() ? *kiwi : "-");

    names.sort<by_name>();
    show("sorted", names);
    std::printf("%-9s", "reversed");
    for (const char *s : names.reversed())
        std::printf(" %s", s);
    std::printf("\n");

    auto copies = names.copy<duplicate, release>();  // owns its strings
    if (!copies)
        return 1;
    copies.erase(copies.begin(), release{});
    show("copies", copies);
    copies.clear(release{});

    Task tasks[] = {{3, "write", nullptr, nullptr, nullptr},
                    {1, "plan", nullptr, nullptr, nullptr},
                    {2, "test", nullptr, nullptr, nullptr}};
    krc::slist<Task, &Task::link, by_priority> todo;
    krc::dlist<Task, &Task::next, &Task::prev> history;
    for (Task &t : tasks) {
        todo.insert_sorted(&t);
        history.push_back(&t);
    }
    std::printf("%-9s", "todo");
    for (Task *t : todo)
        std::printf(" %d:%s", t->priority, t->what);
    std::printf("\n%-9s", "undo");
    for (Task *t : history.reversed())
        std::printf(" %s", t->what);
    std::printf("\n");
    while (Task *t = todo.pop_front())
        history.erase(t);
    std::printf("%-9s %d %u\n", "left", static_cast<int>(todo.size()), static_cast<unsigned>(history.size()));
    return 0;
}
