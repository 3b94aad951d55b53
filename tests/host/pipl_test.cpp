// The property list as the Windows resource compiler emits it: where the resource sits
// (type "PIPL", id 16000, U.S. English) and each of its 286 bytes, property by property.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "host/effect_version.h"
#include "pf_effect.h"

namespace velunary::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t ReadLe(const Bytes& bytes, std::size_t offset, int size) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) value |= std::uint32_t{bytes.at(offset + i)} << (8 * i);
  return value;
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t count) {
  if (offset + count > bytes.size()) return {};
  return Bytes(bytes.begin() + offset, bytes.begin() + offset + count);
}

Bytes Le(std::uint32_t value, int size) {
  Bytes bytes;
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// A four-character code as stored: a little-endian 32-bit value, so the text reversed.
Bytes Code(std::string code) {
  std::reverse(code.begin(), code.end());
  return Text(code);
}

// A count byte, the characters, zeros up to `length`.
Bytes PString(const std::string& text, std::size_t length) {
  Bytes bytes = Le(static_cast<std::uint32_t>(text.size()), 1);
  for (char c : text) bytes.push_back(static_cast<std::uint8_t>(c));
  bytes.resize(length, 0);
  return bytes;
}

// The data of the resource of type "PIPL" and id 16000 in a .res file, whose language
// must be 1033; empty when there is none. The file is a run of entries: data size, header
// size, header (type, name, padding, data version, flags, language...), data, each padded
// to 4 bytes.
Bytes FindPropertyList(const Bytes& file) {
  const Bytes typeAndName =
      Join({Text(std::string("P\0I\0P\0L\0\0\0", 10)), Le(0xFFFF, 2), Le(16000, 2)});
  for (std::size_t offset = 0; offset + 8 <= file.size();) {
    const std::uint32_t dataSize = ReadLe(file, offset, 4);
    const std::uint32_t headerSize = ReadLe(file, offset + 4, 4);
    if (Slice(file, offset + 8, typeAndName.size()) == typeAndName) {
      EXPECT_EQ(ReadLe(file, offset + 30, 2), 1033u);  // after 16 bytes of type and name
      return Slice(file, offset + headerSize, dataSize);
    }
    offset = (offset + headerSize + dataSize + 3) & ~std::size_t{3};
  }
  return {};
}

TEST(PiplTest, HoldsTwelvePropertiesByteForByte) {
#ifndef VELUNARIA_PIPL_RES
  GTEST_SKIP() << "no resource compiler was found at configure time";
#else
  std::ifstream in(VELUNARIA_PIPL_RES, std::ios::binary);
  const Bytes pipl =
      FindPropertyList(Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  ASSERT_EQ(pipl.size(), 286u);

  EXPECT_EQ(Slice(pipl, 0, 10), Join({Le(1, 2), Le(0, 4), Le(12, 4)}));
  const std::pair<std::string, Bytes> properties[] = {
      {"kind", Code("eFKT")},
      {"name", PString("Velunary", 12)},
      {"catg", PString("Tessimor", 12)},
      {"8664", Text(std::string("EffectMain\0\0", 12))},
      {"ePVR", Join({Le(2, 2), Le(0, 2)})},
      {"eSVR", Join({Le(13, 2), Le(17, 2)})},
      {"eVER", Le(kPackedVersion, 4)},
      {"eINF", Le(0, 2)},
      {"eGLO", Le(PF_OutFlag_NON_PARAM_VARY, 4)},  // what global setup answers
      {"eGL2", Le(0, 4)},
      {"eMNA", PString("ADBE Velunaria", 16)},
      {"aeFL", Le(0, 4)},
  };
  std::size_t offset = 10;
  for (const auto& [key, data] : properties) {
    SCOPED_TRACE(key);
    const Bytes expected =
        Join({Code("8BIM"), Code(key), Le(0, 4), Le(static_cast<std::uint32_t>(data.size()), 4),
              data, Bytes((4 - data.size() % 4) % 4, 0)});
    EXPECT_EQ(Slice(pipl, offset, expected.size()), expected);
    offset += expected.size();
  }
  EXPECT_EQ(offset, pipl.size());
#endif
}

}  // namespace
}  // namespace velunary::testing
