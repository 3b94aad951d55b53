// Property list layout: a 16-bit format version, a 32-bit zero and a 32-bit property count,
// then per property the vendor code, the key, a 32-bit zero identifier, the 32-bit length
// of its data and the data, zero-filled to a multiple of four bytes. Four-character codes
// are little-endian 32-bit values, so "kind" is stored as the bytes "dnik". Strings carry a
// count byte in front, except the entry point name, which ends with a zero byte; a string's
// length includes its fill.
#include "windows/expected_pipl.h"

#include <cstdint>
#include <string_view>
#include <utility>

namespace velunary::platform {
namespace {

class PiplWriter {
 public:
  void U16(std::uint16_t v) {
    bytes_.push_back(static_cast<unsigned char>(v & 0xFF));
    bytes_.push_back(static_cast<unsigned char>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v & 0xFFFF));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void Code(std::string_view fourChars) {
    U32(static_cast<std::uint32_t>(static_cast<unsigned char>(fourChars[0])) << 24 |
        static_cast<std::uint32_t>(static_cast<unsigned char>(fourChars[1])) << 16 |
        static_cast<std::uint32_t>(static_cast<unsigned char>(fourChars[2])) << 8 |
        static_cast<std::uint32_t>(static_cast<unsigned char>(fourChars[3])));
  }

  // A property whose data `body` writes; `length` is the declared length, which for
  // strings includes the fill and for "eINF" does not.
  template <typename Body>
  void Property(std::string_view key, std::uint32_t length, Body body) {
    Code("8BIM");
    Code(key);
    U32(0);
    U32(length);
    const std::size_t start = bytes_.size();
    body();
    while ((bytes_.size() - start) % 4 != 0) {
      bytes_.push_back(0);
    }
  }

  void CountedString(std::string_view s) {
    bytes_.push_back(static_cast<unsigned char>(s.size()));
    bytes_.insert(bytes_.end(), s.begin(), s.end());
  }
  void ZeroEndedString(std::string_view s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    bytes_.push_back(0);
  }

  std::vector<unsigned char> Take() { return std::move(bytes_); }

 private:
  std::vector<unsigned char> bytes_;
};

}  // namespace

std::vector<unsigned char> ExpectedPipl() {
  PiplWriter w;
  w.U16(1);
  w.U32(0);
  w.U32(12);
  w.Property("kind", 4, [&] { w.Code("eFKT"); });
  w.Property("name", 12, [&] { w.CountedString("Velunary"); });
  w.Property("catg", 12, [&] { w.CountedString("Tessimor"); });
  w.Property("8664", 12, [&] { w.ZeroEndedString("EffectMain"); });
  w.Property("ePVR", 4, [&] {
    w.U16(2);
    w.U16(0);
  });
  w.Property("eSVR", 4, [&] {
    w.U16(13);
    w.U16(17);
  });
  w.Property("eVER", 4, [&] { w.U32(0x80000); });
  w.Property("eINF", 2, [&] { w.U16(0); });
  w.Property("eGLO", 4, [&] { w.U32(0x4); });
  w.Property("eGL2", 4, [&] { w.U32(0); });
  w.Property("eMNA", 16, [&] { w.CountedString("ADBE Velunaria"); });
  w.Property("aeFL", 4, [&] { w.U32(0); });
  return w.Take();
}

}  // namespace velunary::platform
