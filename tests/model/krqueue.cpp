// Queue harness: a heap or in-place queue against a std::deque.  Byte 0 picks
// the form and the capacity; each later byte is one operation: add, get, or (one in
// eight) a release (drained through a destructor, or with none) and a fresh queue.
#include <libkrc/krqueue.h>

#include <deque>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

std::vector<void *> *drained;  // where the destructor records, set around each release
void record(void *elem) { drained->push_back(elem); }

// The count slots after last_get hold the model's elements oldest first, every other slot is null.
void walk(const krqueue *q, const std::deque<void *> &model) {
    MODEL_REQUIRE(q->count == model.size());
    for (uint32_t k = 0; k < q->capacity; ++k)
        MODEL_REQUIRE(q->members[(q->last_get + 1 + k) % q->capacity] == (k < model.size() ? model[k] : nullptr));
    MODEL_REQUIRE(q->capacity == 0 || q->last_add == (q->last_get + q->count) % q->capacity);
}

}  // namespace

void run_krqueue(const uint8_t *data, size_t size) {
    Bytes in(data, size);
    const uint8_t form = in.byte();
    const bool in_place = form & 1;
    const uint32_t cap = form / 2 % 10 + in_place;  // 0 to 9 on the heap, 1 to 10 in place
    MODEL_REQUIRE(krqueue_size(cap) == sizeof(krqueue) + cap * sizeof(void *));
    std::vector<void *> buf(krqueue_size(cap) / sizeof(void *));  // exactly that many bytes
    krqueue *q = in_place ? krqueue_inplace_new(buf.data(), krqueue_size(cap), cap) : krqueue_new(cap);
    MODEL_REQUIRE(in_place ? q == static_cast<void *>(buf.data()) : q != nullptr);
    MODEL_REQUIRE(q->capacity == cap);
    std::deque<void *> model;
    char items[16];
    std::vector<void *> seen;
    drained = &seen;
    while (in.more()) {
        const uint8_t op = in.byte();
        if (op % 16 < 7) {
            void *elem = &items[op / 16];
            MODEL_REQUIRE(krqueue_add(q, elem) == (model.size() < cap));
            if (model.size() < cap)
                model.push_back(elem);
        } else if (op % 16 < 14) {
            MODEL_REQUIRE(krqueue_get(q) == (model.empty() ? nullptr : model.front()));
            if (!model.empty())
                model.pop_front();
        } else {  // release, drained when a destructor is given
            krqueue_destructor_fn destructor = op % 16 == 14 ? record : nullptr;
            seen.clear();
            in_place ? krqueue_inplace_free(q, destructor) : krqueue_free(q, destructor);
            MODEL_REQUIRE(seen == (destructor ? std::vector<void *>(model.begin(), model.end()) : std::vector<void *>()));
            if (!in_place)
                q = krqueue_new(cap);
            if (destructor || !in_place)
                model.clear();  // an in-place queue without a destructor keeps its elements
        }
        walk(q, model);
    }
    if (!in_place)
        krqueue_free(q, nullptr);
    drained = nullptr;
}

}  // namespace krc_model
