// Bytes a device has produced for its port and the port has not yet been
// able to write: nothing is dropped, a full pseudo-terminal only makes the
// queue wait.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace klv::sim {

class TOutputQueue {
 public:
  void Append(std::string_view bytes) { bytes_.append(bytes); }
  std::string_view Front() const { return std::string_view(bytes_).substr(head_); }
  std::size_t Size() const { return bytes_.size() - head_; }
  bool Empty() const { return Size() == 0; }
  // Removes the first `count` bytes (at most Size()).
  void Consume(std::size_t count) {
    head_ += count;
    // Compacts once the written part outweighs the rest, so appends and
    // consumes stay linear overall.
    if (head_ == bytes_.size()) {
      bytes_.clear();
      head_ = 0;
    } else if (head_ > 4096 && head_ > bytes_.size() / 2) {
      bytes_.erase(0, head_);
      head_ = 0;
    }
  }

 private:
  std::string bytes_;
  std::size_t head_ = 0;
};

}  // namespace klv::sim
