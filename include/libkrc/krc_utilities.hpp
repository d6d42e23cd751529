// SPDX-License-Identifier: MIT
/// @file krc_utilities.hpp
/// @brief Typed C++17 faces of the utilities: krc::sliding_average and
/// krc::inplace_sliding_average (slidingaverage.h), krc::crc16 (crc16.h) and
/// krc::search (searchmap.h).
///
/// Header-only and inline over the C functions; nothing is exported from the
/// library for them.  A failure is reported as the C function
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
#include <libkrc/krc_detail.hpp>
#include <libkrc/searchmap.h>
#include <libkrc/slidingaverage.h>

namespace krc {

/// @brief The operations both sliding averages share
/// (krc::sliding_average, krc::inplace_sliding_average).
/// @tparam Derived the class; its get() is the C object.
template <class Derived>
class sliding_average_ops {
public:
    /// @brief Adds a sample, replacing the oldest once the window is full.
    /// @param sample the sample.
    void add(std::uint32_t sample) noexcept { SlidingAverage_Add(p(), sample); }
    /// @return the mean of the samples in the window, 0.0 when empty.
    double average() const noexcept { return SlidingAverage_GetAverage(p()); }
    /// @return the number of samples in the window (0 when none is held).
    size_type size() const noexcept { return p() != nullptr ? SlidingAverage_NoOfEntries(p()) : 0u; }
    /// @return whether the window holds no sample.
    bool empty() const noexcept { return size() == 0; }
    /// @return the window length (0 when none is held).
    size_type capacity() const noexcept { return p() != nullptr ? p()->maxEntries : 0u; }
    /// @return the integer population variance of a full window, else 0.
    std::uint32_t variance() const noexcept { return SlidingAverage_GetVariance(p()); }
    /// @brief Empties the window.
    void reset() noexcept { SlidingAverage_Reset(p()); }

protected:
    sliding_average_ops() = default;
    ~sliding_average_ops() = default;

private:
    SlidingAverage *p() const noexcept { return static_cast<const Derived *>(this)->get(); }
};

/// @cond INTERNAL
namespace detail {
using sliding_average_traits = pointer_traits<SlidingAverage, SlidingAverage_destroy>;
}
/// @endcond

/// @brief Owning, move-only heap sliding average (SlidingAverage_create /
/// SlidingAverage_destroy).  After a failed creation or a move it holds
/// none: operator bool is false, size() and capacity() are 0.
class sliding_average : public detail::owner<detail::sliding_average_traits>,
                        public sliding_average_ops<sliding_average> {
    using base = detail::owner<detail::sliding_average_traits>;

public:
    /// @brief An empty window of @p window samples (two allocations).
    /// @param window the window length, at least 1 (asserted).
    explicit sliding_average(size_type window) noexcept : base(SlidingAverage_create(window)) {}
    /// @return the C object.
    SlidingAverage *get() const noexcept { return h_; }
};

/// @brief Sliding average whose log lives inside the object
/// (SlidingAverage_inplace_create); nothing is allocated.  The object points
/// into its own storage, so it can be neither copied nor moved.
/// @tparam N the window length, 1 to 1073741823.
template <std::uint32_t N>
class inplace_sliding_average : public sliding_average_ops<inplace_sliding_average<N>> {
    static_assert(N > 0, "a window holds at least one sample");
    static_assert(N <= (UINT32_MAX - sizeof(SlidingAverage)) / sizeof(std::uint32_t),
                  "an in-place window's size fits in 32 bits");

public:
    /// The bytes of storage inside the object: the structure, then the log.
    static constexpr std::uint32_t storage_bytes = SLIDINGAVERAGE_SIZE(N);

    /// @brief An empty window laid out in the object's own storage.
    inplace_sliding_average() noexcept : p_(SlidingAverage_inplace_create(storage_, storage_bytes, N)) {}
    inplace_sliding_average(const inplace_sliding_average &) = delete;
    inplace_sliding_average &operator=(const inplace_sliding_average &) = delete;
    /// @return the C object.
    SlidingAverage *get() const noexcept { return p_; }

private:
    SlidingAverage *p_;
    alignas(SlidingAverage) unsigned char storage_[storage_bytes];
};

/// @cond INTERNAL
namespace detail {
template <class R, class = void>
struct byte_range {
    static constexpr bool contiguous = false;
    static constexpr bool bytes = false;
    static constexpr bool text = false;
};
template <class R>
struct byte_range<R, std::void_t<decltype(std::data(std::declval<const R &>())),
                                 decltype(std::size(std::declval<const R &>()))>> {
    using element = std::remove_cv_t<std::remove_pointer_t<decltype(std::data(std::declval<const R &>()))>>;
    static constexpr bool contiguous = true;
    static constexpr bool bytes = sizeof(element) == 1 && std::is_trivially_copyable_v<element>;
    // An array of characters may be a string literal, whose last byte is the
    // terminating NUL rather than text.
#if defined(__cpp_char8_t)
    static constexpr bool text = std::is_array_v<R> && (std::is_same_v<element, char> || std::is_same_v<element, char8_t>);
#else
    static constexpr bool text = std::is_array_v<R> && std::is_same_v<element, char>;
#endif
};

template <class Range>
inline constexpr bool check_crc_range() noexcept {
    static_assert(byte_range<Range>::contiguous,
                  "a CRC is taken over a contiguous range of bytes (std::data and std::size): "
                  "copy other containers into one first");
    static_assert(!byte_range<Range>::contiguous || byte_range<Range>::bytes,
                  "a CRC is taken over a range of one-byte elements: pass its bytes (data and size in bytes)");
    static_assert(!byte_range<Range>::text,
                  "a character array may be a string literal, whose terminating NUL would count: "
                  "pass std::string_view(text) for the text, or crc16(data, size) for every byte");
    return byte_range<Range>::contiguous && byte_range<Range>::bytes && !byte_range<Range>::text;
}

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

/// @brief CRC-16/XMODEM of a contiguous range of one-byte elements: anything
/// with std::data and std::size (std::string, std::string_view,
/// std::array<std::uint8_t, N>, std::vector<std::byte>, an array of
/// unsigned char...).
///
/// An array of char is refused at compile time: a string literal is one, and
/// its terminating NUL would be counted.  Pass std::string_view("text") for
/// the text alone, or crc16(data, size) for every byte of a buffer.  A range
/// that is not contiguous, or whose elements are wider than a byte, is
/// refused with its own message.
/// @tparam Range the range type.
/// @param bytes the range.
/// @return the CRC.
template <class Range>
inline std::uint16_t crc16(const Range &bytes) noexcept {
    if constexpr (detail::check_crc_range<Range>())
        return crc16(std::data(bytes), std::size(bytes));
    else
        return 0;
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
    if constexpr (detail::check_crc_range<Range>())
        return detail::crc16_continue(reinterpret_cast<const std::uint8_t *>(std::data(bytes)), std::size(bytes),
                                      crc);
    else
        return crc;
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
