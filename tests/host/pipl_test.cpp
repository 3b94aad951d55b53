// The property list, read back from the resource file the Windows resource compiler makes
// of it: where the resource sits and each of its 286 bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/effect_version.h"
#include "pf_effect.h"

namespace velunary::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Little-endian reads from a byte buffer; reading past the end fails the test.
class Reader {
 public:
  Reader(const Bytes& bytes, std::size_t offset) : bytes_(bytes), offset_(offset) {}

  std::uint32_t Read(int size) {
    EXPECT_LE(offset_ + static_cast<std::size_t>(size), bytes_.size());
    std::uint32_t value = 0;
    for (int i = 0; i < size && offset_ < bytes_.size(); ++i) {
      value |= static_cast<std::uint32_t>(bytes_[offset_++]) << (8 * i);
    }
    return value;
  }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Read(2)); }
  std::uint32_t U32() { return Read(4); }

  // A four-character code stored as a little-endian 32-bit value, as text.
  std::string Code() {
    const std::uint32_t value = U32();
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
  }

  Bytes Take(std::size_t count) {
    EXPECT_LE(offset_ + count, bytes_.size());
    count = std::min(count, bytes_.size() - offset_);
    Bytes taken(bytes_.begin() + static_cast<std::ptrdiff_t>(offset_),
                bytes_.begin() + static_cast<std::ptrdiff_t>(offset_ + count));
    offset_ += count;
    return taken;
  }

  // A resource type or name: 0xFFFF and a number (given in decimal), or a zero-terminated
  // UTF-16 string.
  std::string TypeOrName() {
    const std::uint16_t first = U16();
    if (first == 0xFFFF) return std::to_string(U16());
    std::string text;
    for (std::uint16_t c = first; c != 0 && offset_ < bytes_.size(); c = U16()) {
      text += static_cast<char>(c);
    }
    return text;
  }

  void AlignTo4() { offset_ = (offset_ + 3) & ~std::size_t{3}; }
  std::size_t Offset() const { return offset_; }

 private:
  const Bytes& bytes_;
  std::size_t offset_;
};

struct Resource {
  std::string type, name;
  std::uint16_t language;
  Bytes data;
};

// The entries of a .res file: each a header (sizes, type, name, flags, language) then
// the data, both padded to 4 bytes.
std::vector<Resource> ReadResources(const Bytes& file) {
  std::vector<Resource> resources;
  std::size_t offset = 0;
  while (offset + 8 <= file.size()) {
    Reader header(file, offset);
    const std::uint32_t dataSize = header.U32();
    const std::uint32_t headerSize = header.U32();
    Resource r;
    r.type = header.TypeOrName();
    r.name = header.TypeOrName();
    header.AlignTo4();
    header.U32();  // data version
    header.U16();  // memory flags
    r.language = header.U16();
    Reader body(file, offset + headerSize);
    r.data = body.Take(dataSize);
    resources.push_back(r);
    offset = (offset + headerSize + dataSize + 3) & ~std::size_t{3};
  }
  return resources;
}

std::optional<Bytes> PropertyList() {
#ifdef VELUNARIA_PIPL_RES
  std::ifstream in(VELUNARIA_PIPL_RES, std::ios::binary);
  EXPECT_TRUE(in) << VELUNARIA_PIPL_RES;
  const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::optional<Bytes> found;
  for (const Resource& r : ReadResources(file)) {
    if (r.type != "PIPL") continue;
    EXPECT_FALSE(found) << "a second property list";
    EXPECT_EQ(r.name, "16000");  // a number, not a name
    EXPECT_EQ(r.language, 1033);
    found = r.data;
  }
  return found;
#else
  return std::nullopt;
#endif
}

Bytes PString(const std::string& text, std::size_t length) {
  Bytes bytes(length, 0);
  bytes[0] = static_cast<std::uint8_t>(text.size());
  std::copy(text.begin(), text.end(), bytes.begin() + 1);
  return bytes;
}

Bytes Words(std::uint16_t first, std::uint16_t second) {
  return {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(first >> 8),
          static_cast<std::uint8_t>(second), static_cast<std::uint8_t>(second >> 8)};
}

Bytes Long(std::uint32_t value) {
  return Words(static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(value >> 16));
}

TEST(PiplTest, HoldsTwelvePropertiesByteForByte) {
#ifndef VELUNARIA_PIPL_RES
  GTEST_SKIP() << "no resource compiler was found at configure time";
#endif
  const std::optional<Bytes> pipl = PropertyList();
  ASSERT_TRUE(pipl.has_value());
  ASSERT_EQ(pipl->size(), 286u);

  const Bytes entryPoint{'E', 'f', 'f', 'e', 'c', 't', 'M', 'a', 'i', 'n', 0, 0};
  const std::pair<std::string, Bytes> expected[] = {
      {"kind", {'T', 'K', 'F', 'e'}},  // "eFKT", little-endian like every code
      {"name", PString("Velunary", 12)},
      {"catg", PString("Tessimor", 12)},
      {"8664", entryPoint},
      {"ePVR", Words(2, 0)},
      {"eSVR", Words(13, 17)},
      {"eVER", Long(kPackedVersion)},
      {"eINF", {0, 0}},
      {"eGLO", Long(PF_OutFlag_NON_PARAM_VARY)},  // what global setup answers
      {"eGL2", Long(0)},
      {"eMNA", PString("ADBE Velunaria", 16)},
      {"aeFL", Long(0)},
  };

  Reader reader(*pipl, 0);
  EXPECT_EQ(reader.U16(), 1);
  EXPECT_EQ(reader.U32(), 0u);
  EXPECT_EQ(reader.U32(), 12u);
  for (const auto& [key, data] : expected) {
    SCOPED_TRACE(key);
    EXPECT_EQ(reader.Code(), "8BIM");
    EXPECT_EQ(reader.Code(), key);
    EXPECT_EQ(reader.U32(), 0u);
    const std::uint32_t length = reader.U32();
    EXPECT_EQ(length, data.size());
    EXPECT_EQ(reader.Take(length), data);
    const std::size_t fill = (4 - length % 4) % 4;
    EXPECT_EQ(reader.Take(fill), Bytes(fill, 0));
  }
  EXPECT_EQ(reader.Offset(), 286u);
}

}  // namespace
}  // namespace velunary::testing
