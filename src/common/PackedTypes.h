// Byte-aligned little-endian field types for the fixed binary records that the
// program stores on disk. Every type here has alignment 1 and no padding, so a
// record built from them has the same size and layout on every host, and a
// file image can be copied in and out with memcpy.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace klv {

// Unsigned or signed integer of N bytes, stored little-endian.
template <typename T, std::size_t N = sizeof(T)>
struct LeInt {
  static_assert(std::is_integral_v<T> && N <= sizeof(T));
  std::array<std::uint8_t, N> bytes{};

  constexpr T get() const {
    using U = std::make_unsigned_t<T>;
    U value = 0;
    for (std::size_t i = 0; i < N; ++i)
      value = static_cast<U>(value | (U(bytes[i]) << (8 * i)));
    return static_cast<T>(value);
  }
  constexpr void set(T value) {
    using U = std::make_unsigned_t<T>;
    const U raw = static_cast<U>(value);
    for (std::size_t i = 0; i < N; ++i)
      bytes[i] = static_cast<std::uint8_t>(raw >> (8 * i));
  }
  constexpr operator T() const { return get(); }
  constexpr LeInt& operator=(T value) {
    set(value);
    return *this;
  }
};

using LeU16 = LeInt<std::uint16_t>;
using LeI16 = LeInt<std::int16_t>;
using LeI32 = LeInt<std::int32_t>;

// One-byte Boolean: 0 false, anything else reads as true; writes 0 or 1.
struct Boolean8 {
  std::uint8_t raw = 0;
  constexpr operator bool() const { return raw != 0; }
  constexpr Boolean8& operator=(bool value) {
    raw = value ? 1 : 0;
    return *this;
  }
};

// Length-prefixed string with room for N bytes (N + 1 bytes in all). The
// length byte of a record read from a file may claim more than N; every
// accessor clamps it so nothing is read past the room.
template <std::size_t N>
struct PascalString {
  static_assert(N >= 1 && N <= 255);
  std::uint8_t length = 0;
  std::array<char, N> chars{};

  static constexpr std::size_t Capacity() { return N; }
  constexpr std::size_t size() const { return std::min<std::size_t>(length, N); }
  std::string_view view() const { return {chars.data(), size()}; }
  // Stores up to N bytes of text; the rest of the room is zeroed.
  void assign(std::string_view text) {
    const std::size_t count = std::min(text.size(), N);
    chars.fill(0);
    if (count > 0)  // an empty view may carry no pointer at all
      std::memcpy(chars.data(), text.data(), count);
    length = static_cast<std::uint8_t>(count);
  }
};

// Checks that a record type can be copied byte for byte to and from a file.
template <typename T>
inline constexpr bool kIsPackedRecord =
    std::is_trivially_copyable_v<T>&& std::is_standard_layout_v<T> && alignof(T) == 1;

static_assert(sizeof(LeU16) == 2 && alignof(LeU16) == 1);
static_assert(sizeof(LeI32) == 4 && alignof(LeI32) == 1);
static_assert(sizeof(Boolean8) == 1);
static_assert(sizeof(PascalString<10>) == 11 && alignof(PascalString<255>) == 1);

}  // namespace klv
