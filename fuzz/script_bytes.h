// The bytes of a session script, read front to back. Every read succeeds: past the end it
// gives zeros, so any byte string is a whole script.
#ifndef VELUNARY_FUZZ_SCRIPT_BYTES_H
#define VELUNARY_FUZZ_SCRIPT_BYTES_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace velunary::fuzzing {

class ScriptBytes {
 public:
  ScriptBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return size_ == 0; }

  std::uint8_t U8() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  // Little-endian, like the seed writer.
  std::uint16_t U16() {
    const std::uint16_t low = U8();
    const std::uint16_t high = U8();
    return static_cast<std::uint16_t>(low | (high << 8));
  }
  std::int32_t I32() {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(U8()) << (8 * i);
    return static_cast<std::int32_t>(bits);
  }
  // One of the options, by a byte modulo their number.
  template <typename T, std::size_t N>
  T Pick(const std::array<T, N>& options) {
    return options[U8() % N];
  }
  // A layer side from 1 to `largest`.
  int Side(int largest) { return 1 + U8() % largest; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace velunary::fuzzing

#endif
