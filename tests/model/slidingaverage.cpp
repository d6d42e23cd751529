// SPDX-License-Identifier: MIT
// Sliding average harness: a heap or in-place window against a std::deque of
// its samples.  Byte 0 picks the form and the length (1 to 16); each later
// byte adds a sample of 4 more bytes shifted right by 0 to 31 bits, so small
// and large samples mix, or, one time in 32, resets the window or ends it for
// a new one.  Count, mean and variance are compared after every step.
#include <libkrc/slidingaverage.h>

#include <deque>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

SlidingAverage *make(uint8_t form, std::vector<uint32_t> &buf) {
    const uint32_t n = 1 + form / 2 % 16, bytes = SLIDINGAVERAGE_SIZE(n);
    buf = std::vector<uint32_t>(form & 1 ? bytes / 4 : 0, ~0u);  // exactly the size, garbage to clear
    SlidingAverage *p = buf.empty() ? SlidingAverage_create(n) : SlidingAverage_inplace_create(buf.data(), bytes, n);
    MODEL_REQUIRE(p != nullptr && p->maxEntries == n);
    MODEL_REQUIRE(buf.empty() || p == static_cast<void *>(buf.data()));
    MODEL_REQUIRE(buf.empty() || p->log == &buf[sizeof(SlidingAverage) / 4]);  // the log behind the structure
    return p;
}

// 0 until the window is full; then about m, the integer part of the mean (for windows this short
// sum / n is exactly that), each square taken in double precision and truncated.
uint32_t variance(const std::deque<uint32_t> &w, uint64_t sum, uint32_t n) {
    const int64_t m = w.size() == n ? static_cast<int64_t>(sum / n) : 0;
    uint64_t acc = 0;
    for (uint32_t s : w)
        acc += static_cast<uint64_t>(static_cast<double>(s - m) * static_cast<double>(s - m));
    return w.size() == n ? static_cast<uint32_t>(acc / n) : 0;
}

// The ring holds the window oldest first, from nextIndex once full and from slot 0 while filling;
// unused slots hold 0 and the running sum is the window's sum.
void check(SlidingAverage *p, const std::deque<uint32_t> &w, uint64_t sum) {
    const uint32_t n = p->maxEntries, start = w.size() == n ? p->nextIndex : 0;
    MODEL_REQUIRE(p->sum == sum);
    MODEL_REQUIRE(p->nextIndex == (start + w.size()) % n);
    for (uint32_t k = 0; k < n; ++k)
        MODEL_REQUIRE(p->log[(start + k) % n] == (k < w.size() ? w[k] : 0));
    MODEL_REQUIRE(SlidingAverage_NoOfEntries(p) == w.size());
    MODEL_REQUIRE(SlidingAverage_GetAverage(p) == (w.empty() ? 0.0 : static_cast<double>(sum) / w.size()));
    MODEL_REQUIRE(SlidingAverage_GetVariance(p) == variance(w, sum, n));
}

}  // namespace

void run_slidingaverage(const uint8_t *data, size_t size) {
    Bytes in(data, size);
    std::vector<uint32_t> buf;
    SlidingAverage *p = make(in.byte(), buf);
    std::deque<uint32_t> w;
    uint64_t sum = 0;
    while (in.more()) {
        const uint8_t op = in.byte();
        if (op % 64 < 62) {
            const uint32_t sample = in.u32() >> op % 32;
            SlidingAverage_Add(p, sample);
            if (w.size() == p->maxEntries) {
                sum -= w.front();
                w.pop_front();
            }
            w.push_back(sample);
            sum += sample;
        } else {  // empty again: reset, or a new window
            if (op % 64 == 62)
                SlidingAverage_Reset(p);
            else if (buf.empty())
                SlidingAverage_destroy(p);
            if (op % 64 == 63)
                p = make(in.byte(), buf);
            w.clear();
            sum = 0;
        }
        check(p, w, sum);
    }
    if (buf.empty())
        SlidingAverage_destroy(p);
}

}  // namespace krc_model
