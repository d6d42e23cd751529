// SPDX-License-Identifier: MIT
// Queue harness: a heap or in-place queue against a std::deque.  Byte 0 picks
// the form and capacity; each later byte adds, gets, or (one time in eight)
// releases the queue, drained through a destructor or with none.
#include <libkrc/krqueue.h>

#include <deque>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

std::deque<void *> *model;  // the running harness's; the destructor must see it oldest first
void drained(void *elem) {
    MODEL_REQUIRE(!model->empty() && elem == model->front());
    model->pop_front();
}

// The count slots after last_get hold the model's elements oldest first, every other slot is null.
void walk(const krqueue *q) {
    MODEL_REQUIRE(q->count == model->size());
    for (uint32_t k = 0; k < q->capacity; ++k)
        MODEL_REQUIRE(q->members[(q->last_get + 1 + k) % q->capacity] == (k < q->count ? (*model)[k] : nullptr));
    MODEL_REQUIRE(q->capacity == 0 || q->last_add == (q->last_get + q->count) % q->capacity);
}

}  // namespace

void run_krqueue(const uint8_t *data, size_t size) {
    Bytes in(data, size);
    const uint8_t form = in.byte();
    const bool in_place = form & 1;
    const uint32_t cap = form / 2 % 10 + in_place;  // 0 to 9 on the heap, 1 to 10 in place
    MODEL_REQUIRE(krqueue_size(cap) == sizeof(krqueue) + cap * sizeof(void *));
    std::vector<void *> buf(krqueue_size(cap) / sizeof(void *), &in);  // exactly that many bytes, not null
    krqueue *q = in_place ? krqueue_inplace_new(buf.data(), krqueue_size(cap), cap) : krqueue_new(cap);
    MODEL_REQUIRE(in_place ? q == static_cast<void *>(buf.data()) : q != nullptr);
    MODEL_REQUIRE(!in_place || q->members == &buf[sizeof(krqueue) / sizeof(void *)]);  // slots behind the header
    MODEL_REQUIRE(q->capacity == cap);
    std::deque<void *> queued;
    model = &queued;
    char items[16];
    while (in.more()) {
        const uint8_t op = in.byte();
        if (op % 16 < 7) {
            MODEL_REQUIRE(krqueue_add(q, &items[op / 16]) == (queued.size() < cap));
            if (queued.size() < cap)
                queued.push_back(&items[op / 16]);
        } else if (op % 16 < 14) {
            MODEL_REQUIRE(krqueue_get(q) == (queued.empty() ? nullptr : queued.front()));
            if (!queued.empty())
                queued.pop_front();
        } else {  // drained oldest first through a destructor, or not at all
            krqueue_destructor_fn destructor = op % 16 == 14 ? drained : nullptr;
            in_place ? krqueue_inplace_free(q, destructor) : krqueue_free(q, destructor);
            MODEL_REQUIRE(!destructor || queued.empty());
            if (!in_place) {  // in place, the queue stays in use
                q = krqueue_new(cap);
                queued.clear();
            }
        }
        walk(q);
    }
    if (!in_place)
        krqueue_free(q, nullptr);
    model = nullptr;
}

}  // namespace krc_model
