// SPDX-License-Identifier: MIT
/// @file krc_utilities.hpp
/// @brief Typed C++17 faces of the utilities: krc::sliding_average and
/// krc::inplace_sliding_average (slidingaverage.h), krc::crc16 (crc16.h) and
/// krc::search (searchmap.h).
///
/// Header-only and inline over the C functions; nothing is exported from the
/// library for them.  No exceptions: a failure is reported as the C function
/// reports it, and a violated precondition aborts through the library's own
/// check.
#ifndef LIBKRC_KRC_UTILITIES_HPP
#define LIBKRC_KRC_UTILITIES_HPP

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <type_traits>
#include <utility>

#include <libkrc/crc16.h>
#include <libkrc/searchmap.h>
#include <libkrc/slidingaverage.h>

namespace krc {

/// @brief Operations common to the heap and the in-place sliding average.
class basic_sliding_average {
public:
    /// @brief Adds a sample, replacing the oldest once the window is full.
    /// @param sample the sample.
    void add(std::uint32_t sample) noexcept { SlidingAverage_Add(p_, sample); }
    /// @return the mean of the samples in the window, 0.0 when empty.
    double average() const noexcept { return SlidingAverage_GetAverage(p_); }
    /// @return the number of samples in the window.
    std::uint32_t size() const noexcept { return SlidingAverage_NoOfEntries(p_); }
    /// @return the window length.
    std::uint32_t capacity() const noexcept { return p_->maxEntries; }
    /// @return the integer population variance of a full window, else 0.
    std::uint32_t variance() const noexcept { return SlidingAverage_GetVariance(p_); }
    /// @brief Empties the window.
    void reset() noexcept { SlidingAverage_Reset(p_); }
    /// @return the C object.
    SlidingAverage *get() const noexcept { return p_; }

protected:
    /// @param p the C object, or null.
    explicit basic_sliding_average(SlidingAverage *p) noexcept : p_(p) {}
    ~basic_sliding_average() = default;
    basic_sliding_average(const basic_sliding_average &) = delete;
    basic_sliding_average &operator=(const basic_sliding_average &) = delete;

    SlidingAverage *p_;  ///< the C object; null after a failed creation or a move
};

/// @brief Owning, move-only heap sliding average (SlidingAverage_create /
/// SlidingAverage_destroy).  Holds none after a failed creation or a move.
class sliding_average : public basic_sliding_average {
public:
    /// @brief An empty window of @p window samples (two allocations).
    /// @param window the window length, at least 1 (asserted).
    explicit sliding_average(std::uint32_t window) noexcept
        : basic_sliding_average(SlidingAverage_create(window)) {}
    /// @brief Takes the window over; @p other is left holding none.
    /// @param other the window given up.
    sliding_average(sliding_average &&other) noexcept : basic_sliding_average(std::exchange(other.p_, nullptr)) {}
    /// @brief Destroys this window, then takes @p other's over.
    /// @param other the window given up.
    /// @return this window.
    sliding_average &operator=(sliding_average &&other) noexcept {
        if (this != &other) {
            SlidingAverage_destroy(p_);
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    /// @brief Frees the window (SlidingAverage_destroy).
    ~sliding_average() { SlidingAverage_destroy(p_); }
    /// @return whether a window is held.
    explicit operator bool() const noexcept { return p_ != nullptr; }
};

/// @brief Sliding average whose log lives inside the object
/// (SlidingAverage_inplace_create); nothing is allocated.  The object points
/// into its own storage, so it can be neither copied nor moved.
/// @tparam N the window length, 1 to 1073741823.
template <std::uint32_t N>
class inplace_sliding_average : public basic_sliding_average {
    static_assert(N > 0, "a window holds at least one sample");
    static_assert(N <= (UINT32_MAX - sizeof(SlidingAverage)) / sizeof(std::uint32_t),
                  "an in-place window's size fits in 32 bits");

public:
    /// The bytes of storage inside the object: the structure, then the log.
    static constexpr std::uint32_t storage_bytes = SLIDINGAVERAGE_SIZE(N);

    /// @brief An empty window laid out in the object's own storage.
    inplace_sliding_average() noexcept
        : basic_sliding_average(SlidingAverage_inplace_create(storage_, storage_bytes, N)) {}

private:
    alignas(SlidingAverage) unsigned char storage_[storage_bytes];
};

/// @cond INTERNAL
namespace detail {
template <class R>
using range_element_t = std::remove_cv_t<std::remove_reference_t<decltype(*std::data(std::declval<const R &>()))>>;

inline std::uint16_t crc16_continue(const std::uint8_t *data, std::size_t n, std::uint16_t crc) noexcept {
    for (std::size_t i = 0; i < n; ++i)
        krclib_crc16Update(data[i], &crc);
    return crc;
}

// Counts above UINT32_MAX.  Kept out of line: inlined into a caller whose
// buffer GCC can see, the dead branch's pointer arithmetic draws a false
// -Warray-bounds.
[[gnu::noinline, gnu::cold]] inline std::uint16_t crc16_long(const std::uint8_t *bytes, std::size_t n) noexcept {
    std::uint16_t crc;
    krclib_crc16Calc(bytes, &crc, UINT32_MAX);
    return crc16_continue(bytes + UINT32_MAX, n - UINT32_MAX, crc);
}
}  // namespace detail
/// @endcond

/// @brief CRC-16/XMODEM of @p n bytes at @p data (krclib_crc16Calc).
///
/// Counts above 4294967295 (possible only where size_t is wider than 32 bits)
/// are not cut short: the bytes past that are fed through krclib_crc16Update.
/// @param data the bytes; may be null when @p n is 0.
/// @param n    the number of bytes.
/// @return the CRC, 0 for no bytes.
inline std::uint16_t crc16(const void *data, std::size_t n) noexcept {
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    std::uint16_t crc;
    if constexpr (sizeof(std::size_t) > sizeof(std::uint32_t)) {
        if (n > UINT32_MAX)
            return detail::crc16_long(bytes, n);
    }
    krclib_crc16Calc(bytes, &crc, static_cast<std::uint32_t>(n));
    return crc;
}

/// @brief CRC-16/XMODEM of a contiguous range of bytes: anything with
/// std::data and std::size whose elements are one byte wide (std::string,
/// std::string_view, std::array<std::uint8_t, N>, std::vector<std::byte>, a
/// character array...).
/// @tparam Range the range type.
/// @param bytes the range.
/// @return the CRC.
template <class Range>
inline std::uint16_t crc16(const Range &bytes) noexcept {
    static_assert(sizeof(detail::range_element_t<Range>) == 1 &&
                      std::is_trivially_copyable_v<detail::range_element_t<Range>>,
                  "a CRC is taken over a contiguous range of bytes");
    return crc16(std::data(bytes), std::size(bytes));
}

/// @brief Continues a running CRC-16/XMODEM over more bytes
/// (krclib_crc16Update per byte): crc16(a) continued with b is crc16 of a
/// followed by b.
/// @tparam Range the range type, as for crc16(const Range &).
/// @param crc   the running value (0 to start afresh).
/// @param bytes the bytes that follow.
/// @return the updated value.
template <class Range>
inline std::uint16_t crc16(std::uint16_t crc, const Range &bytes) noexcept {
    static_assert(sizeof(detail::range_element_t<Range>) == 1, "a CRC is taken over a contiguous range of bytes");
    return detail::crc16_continue(reinterpret_cast<const std::uint8_t *>(std::data(bytes)), std::size(bytes), crc);
}

/// @brief The value stored under @p key in a key/value map
/// (krclib_search_uint_uint_map).
///
/// The C function reports a miss with the value 0xFFFF; here a miss is an
/// empty optional.  As in C, a stored value of 0xFFFF reads as a miss, so a
/// map meant for this look-up does not store it.
/// @param map   the map, ending with the key 0xFFFF.
/// @param key   the key to look for.
/// @return the value, or an empty optional.
inline std::optional<std::uint32_t> search(const uint_uint_map_entry *map, std::uint32_t key) noexcept {
    const std::uint32_t value = krclib_search_uint_uint_map(map, key);
    return value == 0xFFFFu ? std::nullopt : std::optional<std::uint32_t>(value);
}

/// @brief The string standing for @p value in a string map
/// (krclib_search_str_uint_map).
/// @param map   the map, ending with a null str.
/// @param value the number to look for.
/// @return the map's own string, or null when none stands for @p value.
inline const char *search(const str_uint_map_entry *map, std::uint32_t value) noexcept {
    return krclib_search_str_uint_map(map, value);
}

}  // namespace krc

#endif
