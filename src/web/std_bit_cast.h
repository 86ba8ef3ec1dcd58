// The C++20 std::bit_cast, which the standard library of the web compiler lacks; the web
// build includes this before every source so that the core compiles there unchanged.
#pragma once

#if defined(__cplusplus) && __cplusplus >= 202002L
#include <bit>

#ifndef __cpp_lib_bit_cast
#include <type_traits>

namespace std {

template <typename to, typename from> constexpr to bit_cast(const from& value) noexcept {
    static_assert(sizeof(to) == sizeof(from) && is_trivially_copyable_v<to> &&
                  is_trivially_copyable_v<from>);
    return __builtin_bit_cast(to, value);
}

} // namespace std
#endif
#endif
