// SPDX-License-Identifier: MIT
// Queue harness: a heap or in-place queue against a std::deque.  The first
// byte picks the form and capacity; each later byte adds, gets, or (one time
// in eight) releases the queue, drained through a destructor or with none.
// A released in-place queue stays in use; in place of a heap one comes a
// queue of the form and capacity the next byte picks.
#include <libkrc/krqueue.h>

#include <deque>
#include <memory>
#include <vector>

#include "model.h"

namespace krc_model {

namespace {

// The queued elements: each knows the model, so the destructor, which gets
// nothing else, can check that it sees the oldest element first.
struct Item {
    std::deque<Item *> *model;
};

void drained(void *elem) {
    std::deque<Item *> &model = *static_cast<Item *>(elem)->model;
    MODEL_REQUIRE(!model.empty() && elem == model.front());
    model.pop_front();
}

// A queue on the heap, or in place in a buffer of exactly KRQUEUE_SIZE bytes
// that starts out non-null.
class Queue {
public:
    explicit Queue(uint8_t form) : in_place_(form & 1), capacity_(form / 2 % 10 + in_place_) {
        if (in_place_) {
            buf_.assign(KRQUEUE_SIZE(capacity_) / sizeof(void *), &buf_);
            q_ = krqueue_inplace_new(buf_.data(), KRQUEUE_SIZE(capacity_), capacity_);
            MODEL_REQUIRE(q_ == static_cast<void *>(buf_.data()));
            MODEL_REQUIRE(q_->members == &buf_[sizeof(krqueue) / sizeof(void *)]);  // slots behind the header
        } else {
            q_ = krqueue_new(capacity_);
            MODEL_REQUIRE(q_ != nullptr);
        }
        MODEL_REQUIRE(q_->capacity == capacity_);
    }
    ~Queue() {
        if (!in_place_)
            krqueue_free(q_, nullptr);
    }
    Queue(const Queue &) = delete;
    Queue &operator=(const Queue &) = delete;

    krqueue *get() const { return q_; }
    uint32_t capacity() const { return capacity_; }
    bool in_place() const { return in_place_; }
    // Releases the queue; a heap one is gone afterwards, an in-place one
    // stays in use.
    void release(krqueue_destructor_fn destructor) {
        if (in_place_) {
            krqueue_inplace_free(q_, destructor);
        } else {
            krqueue_free(q_, destructor);
            q_ = nullptr;
        }
    }

private:
    bool in_place_;
    uint32_t capacity_;
    std::vector<void *> buf_;
    krqueue *q_;
};

// The count slots after last_get hold the model's elements oldest first, every other slot is null.
void walk(const krqueue *q, const std::deque<Item *> &model) {
    MODEL_REQUIRE(q->count == model.size());
    for (uint32_t k = 0; k < q->capacity; ++k) {
        void *want = k < q->count ? model[k] : nullptr;
        MODEL_REQUIRE(q->members[(q->last_get + 1 + k) % q->capacity] == want);
    }
    MODEL_REQUIRE(q->capacity == 0 || q->last_add == (q->last_get + q->count) % q->capacity);
}

}  // namespace

void run_krqueue(const uint8_t *data, size_t size) {
    Bytes in(data, size);
    std::deque<Item *> model;
    Item items[16];
    for (Item &item : items)
        item.model = &model;
    auto queue = std::make_unique<Queue>(in.byte());
    while (in.more()) {
        const uint8_t op = in.byte();
        krqueue *q = queue->get();
        if (op % 16 < 7) {
            Item *item = &items[op / 16];
            const bool room = model.size() < queue->capacity();
            MODEL_REQUIRE(krqueue_add(q, item) == room);
            if (room)
                model.push_back(item);
        } else if (op % 16 < 14) {
            MODEL_REQUIRE(krqueue_get(q) == (model.empty() ? nullptr : model.front()));
            if (!model.empty())
                model.pop_front();
        } else {  // drained oldest first through a destructor, or not at all
            krqueue_destructor_fn destructor = op % 16 == 14 ? drained : nullptr;
            queue->release(destructor);
            MODEL_REQUIRE(!destructor || model.empty());
            if (!queue->in_place()) {
                queue = std::make_unique<Queue>(in.byte());
                model.clear();
            }
        }
        walk(queue->get(), model);
    }
}

}  // namespace krc_model
