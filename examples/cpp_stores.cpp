// SPDX-License-Identifier: MIT
// The fixed-capacity stores through the C++ face: a queue on the heap and
// one inside an object, a hash table and a block pool.
#include <libkrc/krc.hpp>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Job {
    int id;
    const char *name;
};

struct name_hash {
    uint32_t operator()(const char *const &s) const { return HashTab_hashMem(s, UINT32_MAX, static_cast<uint32_t>(std::strlen(s))); }
};
struct name_equal {
    bool operator()(const char *const &a, const char *const &b) const { return std::strcmp(a, b) == 0; }
};

}  // namespace

int main() {
    Job jobs[] = {{1, "fetch"}, {2, "build"}, {3, "test"}, {4, "ship"}};

    krc::queue<Job> q(3);
    if (!q)
        return 1;
    for (Job &j : jobs)
        std::printf("queue %-5s %s\n", j.name, q.push(&j) ? "queued" : "full");
    while (Job *j = q.pop())
        std::printf("run   %d %s\n", j->id, j->name);

    krc::inplace_queue<Job, 2> fixed;  // no allocation: the slots are in the object
    fixed.push(&jobs[3]);
    std::printf("inplace %u of %u, %s\n", static_cast<unsigned>(fixed.size()), static_cast<unsigned>(fixed.capacity()),
                fixed.storage_bytes == krqueue_size(2) ? "sized as krqueue_size(2)" : "missized");

    static const char *const keys[] = {"red", "green", "blue"};
    static int codes[] = {0xF00, 0x0F0, 0x00F};
    krc::hash_map<const char *, int, name_hash, name_equal> colours(4);
    if (!colours)
        return 1;
    for (int i = 0; i < 3; ++i)
        colours.insert(&keys[i], &codes[i]);
    std::printf("duplicate red: %s\n", colours.insert(&keys[0], &codes[1]) ? "stored" : "refused");
    for (const char *probe : {"green", "black"}) {
        int *code = colours.find(probe);
        if (code)
            std::printf("%-5s -> %03X\n", probe, static_cast<unsigned>(*code));
        else
            std::printf("%-5s -> none\n", probe);
    }
    colours.erase("red");
    std::printf("entries %u of %u\n", static_cast<unsigned>(colours.size()), static_cast<unsigned>(colours.capacity()));

    krc::pool<Job> blocks(2);
    if (!blocks)
        return 1;
    Job *a = blocks.create(Job{10, "alpha"});
    Job *b = blocks.create(Job{11, "beta"});
    Job *c = blocks.create(Job{12, "gamma"});
    std::printf("pool %s %s %s, %u in use\n", a->name, b->name, c ? c->name : "(exhausted)",
                static_cast<unsigned>(blocks.in_use()));
    blocks.destroy(a);
    std::printf("reuse %s\n", blocks.create(Job{13, "delta"}) == a ? "same block" : "other block");
    return 0;
}
