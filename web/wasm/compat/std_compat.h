// What the web build's C++ library (Debian's emscripten 3.1.6) lacks of
// C++20 and the project uses, supplied here and included before every source
// of the web build, so that the plug-in's own sources compile unchanged.
#pragma once

#if defined(__cplusplus)
#include <version>

#if !defined(__cpp_lib_bit_cast)
#include <type_traits>

namespace std {
// The bits of `from` as a `To` of the same size, as C++20's std::bit_cast.
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>) constexpr To
    bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
#endif
