// SPDX-License-Identifier: MIT
/// @file krc_detail.hpp
/// @brief Helpers shared by the C++ wrappers: turning C++ callables into the
/// C callbacks, and byte distances of data members.  Nothing here is part of
/// the interface a program uses.
#ifndef LIBKRC_KRC_DETAIL_HPP
#define LIBKRC_KRC_DETAIL_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

/// @cond INTERNAL
namespace krc {
namespace detail {

// A callable reaches a C callback through its context pointer, never copied
// to the heap.  A small callable that is trivially copyable and callable as
// const (a lambda capturing one reference, say) travels inside the pointer
// itself, so the callback reaches the captured state with no more loads than
// a C callback given that state directly; any other callable travels by its
// address on the caller's stack.  A plain function travels as its address.
template <class F, class... A>
inline constexpr bool travels_by_value_v = std::is_trivially_copyable_v<F> && sizeof(F) <= sizeof(void *) &&
                                           alignof(F) <= alignof(void *) && std::is_invocable_v<const F &, A...>;

template <class F, class... A>
inline void *context(F &f) noexcept {
    if constexpr (std::is_function_v<F>) {  // a plain function: its address travels
        F *fn = &f;
        void *ctx = nullptr;
        std::memcpy(&ctx, &fn, sizeof fn);
        return ctx;
    } else if constexpr (travels_by_value_v<F, A...>) {
        void *ctx = nullptr;
        std::memcpy(&ctx, std::addressof(f), sizeof(F));
        return ctx;
    } else {
        return const_cast<void *>(static_cast<const volatile void *>(std::addressof(f)));
    }
}

// Calls the callable that context<F, A...>() packed into ctx.
template <class F, class... A>
inline decltype(auto) call(void *ctx, A... a) {
    if constexpr (std::is_function_v<F>) {
        F *fn;
        std::memcpy(&fn, &ctx, sizeof fn);
        return fn(static_cast<A &&>(a)...);
    } else if constexpr (travels_by_value_v<F, A...>) {
        struct bytes_of_f {
            unsigned char b[sizeof(F)];
        } bytes;
        std::memcpy(&bytes, &ctx, sizeof(F));
        return __builtin_bit_cast(std::remove_cv_t<F>, bytes)(static_cast<A &&>(a)...);
    } else {
        return (*static_cast<F *>(ctx))(static_cast<A &&>(a)...);
    }
}

// As call, for a visitor: void results and testable results alike become
// the C convention, nonzero to go on.
template <class F, class... A>
inline unsigned int call_visitor(void *ctx, A... a) {
    if constexpr (std::is_void_v<decltype(call<F, A...>(ctx, static_cast<A &&>(a)...))>) {
        call<F, A...>(ctx, static_cast<A &&>(a)...);
        return 1u;
    } else {
        return call<F, A...>(ctx, static_cast<A &&>(a)...) ? 1u : 0u;
    }
}

template <class T>
inline void *untyped(T *p) noexcept {
    return const_cast<void *>(static_cast<const volatile void *>(p));
}

// A callback without a context pointer can only reach a callable that it can
// make itself: an empty function object that is default-constructible or,
// like a lambda without captures before C++20, trivially copyable (an empty
// object has no value to copy, so one is made from a blank byte).
template <class F>
inline constexpr bool is_stateless_v =
    std::is_empty_v<F> && (std::is_default_constructible_v<F> || std::is_trivially_copyable_v<F>);

template <class F>
inline void require_stateless() noexcept {
    static_assert(is_stateless_v<F>,
                  "this C callback has no context pointer: pass an empty function object "
                  "(a struct with operator(), or a lambda without captures)");
}

template <class F>
inline F stateless() noexcept {
    if constexpr (std::is_default_constructible_v<F>) {
        return F{};
    } else {
        struct blank {
            unsigned char b[sizeof(F)];
        } bytes{};
        return __builtin_bit_cast(F, bytes);
    }
}

// Visitors may return void (go on) or anything testable (nonzero: go on).
template <class F, class... A>
inline unsigned int visit(F &f, A &&...a) {
    if constexpr (std::is_void_v<std::invoke_result_t<F &, A...>>) {
        f(static_cast<A &&>(a)...);
        return 1u;
    } else {
        return f(static_cast<A &&>(a)...) ? 1u : 0u;
    }
}

// An ordering for the C API from either a "less" predicate (bool) or a
// three-way comparison (any signed integer, only its sign counts).  A "less"
// costs a second call when the first one says "not less", since the C side
// needs to tell "equal" from "greater".
template <class Compare, class A>
inline std::int32_t three_way(A a, A b) {
    using R = std::invoke_result_t<Compare, A, A>;
    if constexpr (std::is_same_v<R, bool>) {
        return stateless<Compare>()(a, b) ? -1 : (stateless<Compare>()(b, a) ? 1 : 0);
    } else {
        static_assert(std::is_integral_v<R> && std::is_signed_v<R>,
                      "a comparator returns bool (less) or a signed integer (three-way)");
        if constexpr (sizeof(R) <= sizeof(std::int32_t)) {
            return stateless<Compare>()(a, b);
        } else {
            const R r = stateless<Compare>()(a, b);
            return r < 0 ? -1 : (r > 0 ? 1 : 0);
        }
    }
}

template <class M>
struct member_traits;
template <class C, class M>
struct member_traits<M C::*> {
    using class_type = C;
    using member_type = M;
};

// Byte distance of a data member, from its member pointer, for record types
// that can be probed in a constant expression (trivially destructible ones):
// the member's address inside a constant probe object is matched against the
// probe's bytes.
template <class C>
union member_probe {
    unsigned char bytes[sizeof(C)];
    C object;
    constexpr member_probe() : bytes{} {}
};

template <auto Member>
constexpr std::intptr_t constant_member_offset() {
    using C = typename member_traits<decltype(Member)>::class_type;
    constexpr member_probe<C> probe{};
    const void *target = &(probe.object.*Member);
    std::intptr_t found = -1;
    for (std::size_t i = 0; i < sizeof(C); ++i)
        if (static_cast<const void *>(&probe.bytes[i]) == target)
            found = static_cast<std::intptr_t>(i);
    return found;
}

template <auto Member>
inline std::intptr_t member_offset() noexcept {
    using C = typename member_traits<decltype(Member)>::class_type;
    if constexpr (std::is_trivially_destructible_v<C>) {
        constexpr std::intptr_t offset = constant_member_offset<Member>();
        static_assert(offset >= 0, "the member lies inside its record");
        return offset;
    } else {
        // Not probeable in a constant expression: the same address difference
        // taken on uninitialised storage, which the compiler folds to a constant.
        alignas(C) unsigned char storage[sizeof(C)];
        C *record = static_cast<C *>(static_cast<void *>(storage));
        return reinterpret_cast<unsigned char *>(std::addressof(record->*Member)) - storage;
    }
}

// A header initialiser takes a sample record and the address of its field;
// neither is dereferenced, so any address plus the byte distance serves.
inline void *displaced(void *base, std::intptr_t offset) noexcept {
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(base) + static_cast<std::uintptr_t>(offset);
    return reinterpret_cast<void *>(address);  // NOLINT(performance-no-int-to-ptr): never dereferenced
}

}  // namespace detail
}  // namespace krc
/// @endcond

#endif
