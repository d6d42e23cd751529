// SPDX-License-Identifier: MIT
// Pool harness: a pool against a stack of its free blocks and the set handed
// out.  Bytes 0 and 1 pick 1 to 12 blocks of 1 to 24 bytes; each later byte
// hands a block out (checking that it holds the byte it was last filled
// with, then filling it anew), gives one back (or null), or, rarely, destroys
// the pool for a new one.
#include <libkrc/mempool.h>

#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

struct Model {
    std::vector<uint8_t *> free_blocks;  // bottom first: back() is handed out next
    std::set<uint8_t *> out;
    std::map<uint8_t *, uint8_t> fill;  // each block's bytes, zero until written
};

mempool *create(Bytes &in, Model &m) {
    const uint32_t n = 1 + in.byte() % 12, size = 1 + in.byte() % 24;
    mempool *pool = mempool_create(n, size);
    MODEL_REQUIRE(pool != nullptr && pool->nelements == n && pool->elementsize == size);
    m = Model{};
    for (uint32_t i = n; i-- > 0;)  // handed out in address order, no gaps
        m.free_blocks.push_back(pool->elements + i * size);
    return pool;
}

// Stack slots below nallocated hold the sentinel (null), the others the free blocks, top first.
void walk(const mempool *pool, const Model &m) {
    MODEL_REQUIRE(pool->nallocated == m.out.size());
    for (uint32_t i = 0; i < pool->nelements; ++i)
        MODEL_REQUIRE(pool->stack[i] == (i < pool->nallocated ? nullptr : m.free_blocks[pool->nelements - 1 - i]));
}

}  // namespace

void run_mempool(const uint8_t *data, size_t size) {
    Bytes in(data, size);
    Model m;
    mempool *pool = create(in, m);
    while (in.more()) {
        const uint8_t op = in.byte();
        if (op == 255) {
            mempool_destroy(pool);
            pool = create(in, m);
        } else if (op % 16 < 8) {  // the top block, as it was left; none when all are out
            auto *block = static_cast<uint8_t *>(mempool_alloc(pool));
            MODEL_REQUIRE(block == (m.free_blocks.empty() ? nullptr : m.free_blocks.back()));
            if (block == nullptr)
                continue;
            for (uint32_t i = 0; i < pool->elementsize; ++i)
                MODEL_REQUIRE(block[i] == m.fill[block]);
            std::memset(block, m.fill[block] = op, pool->elementsize);
            MODEL_REQUIRE(m.out.insert(block).second);  // not out already
            m.free_blocks.pop_back();
        } else if (m.out.empty() || op % 16 == 15) {
            mempool_free(pool, nullptr);  // ignored, even with nothing out
        } else {
            auto it = std::next(m.out.begin(), op / 16 % m.out.size());
            mempool_free(pool, *it);
            m.free_blocks.push_back(*it);
            m.out.erase(it);
        }
        walk(pool, m);
    }
    mempool_destroy(pool);
}

}  // namespace krc_model
