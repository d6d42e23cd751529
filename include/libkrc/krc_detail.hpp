// SPDX-License-Identifier: MIT
/// @file krc_detail.hpp
/// @brief What the C++ wrappers share: the size type, the owner template,
/// the passage of callables into C callbacks and of their exceptions back
/// out, and byte distances of link members.
///
/// @par Callables
/// A callable given to a wrapper is used in place, by reference, for the
/// duration of the call, like std::ref: the C callback reaches the caller's
/// own object through the context pointer, so it is never copied, moved or
/// allocated, and whatever it changes in itself is seen by its next call and
/// by the caller afterwards.  This holds for every size of callable and on
/// every target.  Where the C callback has no context pointer (orderings,
/// adaptors, copiers, destructors, hash and key equality), the wrapper takes
/// the callable's type, which must be an empty function object (a lambda
/// without captures will do): there is no state to share.
///
/// @par Exceptions
/// When the program is built with exceptions, an exception thrown by a
/// callable is caught in the C callback, the C walk is stopped where the C
/// function allows it (a visitor, a search, a copier), every later callback
/// of the same C call returns at once without calling the callable, and the
/// first exception is thrown again once the C function has returned.  A
/// destructor callable is the exception to the rule: it still receives every
/// element it was due, so that none is leaked.  The container is then valid
/// and whole, no element lost, duplicated or leaked; each operation says what
/// state it leaves.  A callable whose call is noexcept pays nothing for this,
/// and neither does any callable in a program built with -fno-exceptions.
#ifndef LIBKRC_KRC_DETAIL_HPP
#define LIBKRC_KRC_DETAIL_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>
#if defined(__cpp_exceptions)
#include <atomic>
#include <exception>
#endif

namespace krc {

/// @brief The one size and count type of every wrapper, as in the C API.
using size_type = std::uint32_t;

/// @cond INTERNAL
namespace detail {

// ---- Owners -----------------------------------------------------------------

// The move-only owner of one C object: Traits names the handle type, its
// empty value, whether a handle holds something and how it is released.
// A moved-from owner holds the empty handle.
template <class Traits>
class owner {
public:
    using handle_type = typename Traits::handle;

    owner(const owner &) = delete;
    owner &operator=(const owner &) = delete;
    owner(owner &&other) noexcept : h_(std::exchange(other.h_, Traits::empty())) {}
    owner &operator=(owner &&other) noexcept {
        if (this != &other) {
            Traits::release(h_);
            h_ = std::exchange(other.h_, Traits::empty());
        }
        return *this;
    }
    ~owner() { Traits::release(h_); }

    explicit operator bool() const noexcept { return Traits::held(h_); }

protected:
    explicit owner(handle_type h) noexcept : h_(h) {}
    handle_type h_;
};

// Owners whose handle is a pointer to the C object.
template <class C, void (*Release)(C *)>
struct pointer_traits {
    using handle = C *;
    static C *empty() noexcept { return nullptr; }
    static bool held(C *h) noexcept { return h != nullptr; }
    static void release(C *h) { Release(h); }
};

// ---- Callables ----------------------------------------------------------------

template <class...>
inline constexpr bool always_false_v = false;

#if defined(__cpp_exceptions)
inline constexpr bool exceptions_enabled = true;
#else
inline constexpr bool exceptions_enabled = false;
#endif

// Whether calling F with A can throw into a C callback: only then is the call
// shielded.
template <class F, class... A>
inline constexpr bool may_throw_v = exceptions_enabled && !std::is_nothrow_invocable_v<F, A...>;

#if defined(__cpp_exceptions)
// The exception slot of the innermost wrapper call in progress on this thread.
inline thread_local std::exception_ptr *current_error = nullptr;
// How many slots, on all threads, hold an exception not yet thrown again: a
// callback reads this plain word first and looks at its own thread's slot
// only when it is not zero, which keeps thread-local access off the path of
// every call.
inline std::atomic<unsigned> failures_in_flight{0};

// Keeps the exception in flight in the current slot, if it is the first.
// False when no wrapper call is in progress (C code calling the callback).
inline bool keep_exception() noexcept {
    std::exception_ptr *slot = current_error;
    if (slot == nullptr)
        return false;
    if (!*slot) {
        *slot = std::current_exception();
        failures_in_flight.fetch_add(1, std::memory_order_relaxed);
    }
    return true;
}

inline bool this_call_failed() noexcept {
    return failures_in_flight.load(std::memory_order_relaxed) != 0 && current_error != nullptr &&
           static_cast<bool>(*current_error);
}

// One wrapper call that may see a callable throw: it owns the slot while the
// C function runs; finish() throws what the slot caught.
class call_scope {
public:
    call_scope() noexcept : outer_(current_error) { current_error = &error_; }
    call_scope(const call_scope &) = delete;
    call_scope &operator=(const call_scope &) = delete;
    ~call_scope() {
        current_error = outer_;
        if (error_)
            failures_in_flight.fetch_sub(1, std::memory_order_relaxed);
    }
    bool failed() const noexcept { return static_cast<bool>(error_); }
    void finish() {
        current_error = outer_;
        if (error_) {
            failures_in_flight.fetch_sub(1, std::memory_order_relaxed);
            std::rethrow_exception(std::exchange(error_, nullptr));
        }
    }

private:
    std::exception_ptr error_;
    std::exception_ptr *outer_;
};
#endif

// A call without a shield: no slot, nothing to finish.
struct no_scope {
    static constexpr bool failed() noexcept { return false; }
    static constexpr void finish() noexcept {}
};

#if defined(__cpp_exceptions)
template <bool Shielded>
using scope = std::conditional_t<Shielded, call_scope, no_scope>;
#else
template <bool Shielded>
using scope = no_scope;
#endif

// Inside a C callback: runs body and returns its result; when body throws,
// or an earlier callback of the same C call threw, returns trivial instead.
// Stops says that the C function makes no further call once it is given
// trivial (a visitor's stop, a search's match, a copier's failure): then no
// check precedes the call, and the shield costs nothing until a throw.
template <bool Shielded, bool Stops, class R, class Body>
inline R shielded(R trivial, Body &&body) {
#if defined(__cpp_exceptions)
    if constexpr (Shielded) {
        if constexpr (!Stops) {
            if (this_call_failed())
                return trivial;
        }
        try {
            return body();
        } catch (...) {
            if (!keep_exception())
                throw;  // no wrapper call to carry it: it meets the C frames
            return trivial;
        }
    }
#endif
    (void)trivial;
    return body();
}

// As shielded, for a destructor callable: it runs for every element even
// after a failure, and only the first exception is kept.
template <bool Shielded, class Body>
inline void shielded_always(Body &&body) {
#if defined(__cpp_exceptions)
    if constexpr (Shielded) {
        try {
            body();
        } catch (...) {
            if (!keep_exception())
                throw;
        }
        return;
    }
#endif
    body();
}

// A callable travels to the C callback as its address (a plain function as
// the function's address), and is called there in place.
template <class F>
inline void *context(F &f) noexcept {
    if constexpr (std::is_function_v<F>) {
        F *fn = &f;
        void *ctx = nullptr;
        std::memcpy(&ctx, &fn, sizeof fn);
        return ctx;
    } else {
        return const_cast<void *>(static_cast<const volatile void *>(std::addressof(f)));
    }
}

template <class F>
inline F &in_place(void *ctx) noexcept {
    if constexpr (std::is_function_v<F>) {
        F *fn;
        std::memcpy(&fn, &ctx, sizeof fn);
        return *fn;
    } else {
        return *static_cast<F *>(ctx);
    }
}

// A visitor's result in the C convention: void goes on, anything testable
// goes on when true.
template <class F, class... A>
inline unsigned int visit(F &f, A... a) {
    if constexpr (std::is_void_v<std::invoke_result_t<F &, A...>>) {
        f(static_cast<A &&>(a)...);
        return 1u;
    } else {
        return f(static_cast<A &&>(a)...) ? 1u : 0u;
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
constexpr void require_stateless() noexcept {
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

// An ordering for the C API from either a "less" predicate (bool) or a
// three-way comparison (any signed integer, only its sign counts).  A "less"
// costs a second call when the first one says "not less", since the C side
// needs to tell "equal" from "greater".  Checked by the caller: Compare is
// invocable with (A, A).
template <class Compare, class A>
inline std::int32_t three_way(A a, A b) {
    using R = std::invoke_result_t<const Compare &, A, A>;
    if constexpr (std::is_same_v<R, bool>) {
        return stateless<Compare>()(a, b) ? -1 : (stateless<Compare>()(b, a) ? 1 : 0);
    } else if constexpr (sizeof(R) <= sizeof(std::int32_t)) {
        return stateless<Compare>()(a, b);
    } else {
        const R r = stateless<Compare>()(a, b);
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }
}

// Whether Compare, called with (A, A), gives an ordering: bool or a signed
// integer.
template <class Compare, class A, class = void>
inline constexpr bool is_ordering_v = false;
template <class Compare, class A>
inline constexpr bool is_ordering_v<Compare, A, std::enable_if_t<std::is_invocable_v<const Compare &, A, A>>> =
    std::is_same_v<std::invoke_result_t<const Compare &, A, A>, bool> ||
    (std::is_integral_v<std::invoke_result_t<const Compare &, A, A>> &&
     std::is_signed_v<std::invoke_result_t<const Compare &, A, A>>);

// ---- Link members -------------------------------------------------------------

template <class M>
struct member_traits {
    using class_type = void;
    using member_type = void;
};
template <class C, class M>
struct member_traits<M C::*> {
    using class_type = C;
    using member_type = M;
};

// The link member of an intrusive list: a data member of T itself, of type
// T *.  Each reason for refusal has its own message.
template <class T, auto Link>
inline constexpr bool check_link() noexcept {
    using traits = member_traits<decltype(Link)>;
    static_assert(std::is_member_object_pointer_v<decltype(Link)>,
                  "a link member is named by a pointer to a data member: &T::link");
    static_assert(std::is_same_v<typename traits::class_type, T> || !std::is_member_object_pointer_v<decltype(Link)>,
                  "the link member must be declared in T itself, not inherited: only then is its byte distance "
                  "the same in every T");
    static_assert(std::is_same_v<typename traits::member_type, T *> || !std::is_member_object_pointer_v<decltype(Link)>,
                  "the link member of an intrusive list must have type T *");
    return true;
}

// The byte distance of a data member from the start of its record, read from
// the member pointer itself: under the Itanium C++ ABI, which GCC and Clang
// follow on every Linux target (ARM's EABI included), a pointer to a data
// member is that distance.  No object is made or probed, so any record type
// qualifies; the compiler folds the copy to a constant.
template <auto Member>
inline std::intptr_t member_offset() noexcept {
    using M = decltype(Member);
    static_assert(sizeof(M) == sizeof(std::ptrdiff_t) && std::is_trivially_copyable_v<M>,
                  "this compiler does not represent a pointer to a data member as its byte distance: "
                  "the link member's distance cannot be taken");
    const M member = Member;
    std::ptrdiff_t offset;
    std::memcpy(&offset, &member, sizeof offset);
    return static_cast<std::intptr_t>(offset);
}

// A header initialiser takes a sample record and the address of its field;
// neither is dereferenced, so any address plus the byte distance serves.
inline void *displaced(void *base, std::intptr_t offset) noexcept {
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(base) + static_cast<std::uintptr_t>(offset);
    return reinterpret_cast<void *>(address);  // NOLINT(performance-no-int-to-ptr): never dereferenced
}

}  // namespace detail
/// @endcond

}  // namespace krc

#endif
