// A seeded pseudo-random byte stream, drawn from all bytes or from one half
// of them, so that two channels flooded with the Low and the High half can be
// told apart byte by byte wherever their data ends up together.
#pragma once

#include <cstddef>
#include <cstdint>

namespace klv::sim {

enum class TByteSet : std::uint8_t {
  All,   // 00H..FFH
  Low,   // 00H..7FH
  High,  // 80H..FFH
};

class TFloodStream {
 public:
  TFloodStream(std::uint64_t seed, TByteSet set) : state_(seed), set_(set) {}

  std::uint8_t Next() {
    // splitmix64: fast, and the same sequence on every machine.
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    const auto byte = static_cast<std::uint8_t>(z);
    switch (set_) {
      case TByteSet::Low:
        return static_cast<std::uint8_t>(byte & 0x7F);
      case TByteSet::High:
        return static_cast<std::uint8_t>(byte | 0x80);
      case TByteSet::All:
        break;
    }
    return byte;
  }

  void Fill(std::uint8_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
      out[i] = Next();
  }

  // Whether `byte` can belong to this stream.
  bool Holds(std::uint8_t byte) const {
    switch (set_) {
      case TByteSet::Low:
        return byte < 0x80;
      case TByteSet::High:
        return byte >= 0x80;
      case TByteSet::All:
        break;
    }
    return true;
  }

 private:
  std::uint64_t state_;
  TByteSet set_;
};

}  // namespace klv::sim
