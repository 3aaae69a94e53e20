#include "codepage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "texts.h"

namespace segno {
namespace {

constexpr char32_t kHighBlockStart = 0x80;

// Characters of bytes 0x80 to 0x9F; the five bytes Windows leaves unassigned keep their own.
constexpr std::array<char32_t, 32> kHighBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";

char32_t characterOf(unsigned char byte) {
  if (byte >= kHighBlockStart && byte < kHighBlockStart + kHighBlock.size())
    return kHighBlock[byte - kHighBlockStart];
  return byte;  // Windows-1252 agrees with Unicode everywhere else
}

std::optional<char> byteOf(char32_t character) {
  if (character < kHighBlockStart || (character >= 0xA0 && character <= 0xFF))
    return static_cast<char>(static_cast<unsigned char>(character));
  for (size_t i = 0; i < kHighBlock.size(); ++i)
    if (kHighBlock[i] == character) return static_cast<char>(kHighBlockStart + i);
  return std::nullopt;
}

void appendUtf8(std::string& out, char32_t c) {
  const auto unit = [&out](char32_t bits) { out += static_cast<char>(bits); };
  if (c < 0x80) {
    unit(c);
  } else if (c < 0x800) {
    unit(0xC0 | (c >> 6));
    unit(0x80 | (c & 0x3F));
  } else {  // Windows-1252 reaches no further than three bytes
    unit(0xE0 | (c >> 12));
    unit(0x80 | ((c >> 6) & 0x3F));
    unit(0x80 | (c & 0x3F));
  }
}

// Continuation bytes after a lead byte, or -1 for a byte that cannot start a character.
int continuationBytes(unsigned char lead) {
  if (lead < 0x80) return 0;
  if ((lead & 0xE0) == 0xC0) return 1;
  if ((lead & 0xF0) == 0xE0) return 2;
  if ((lead & 0xF8) == 0xF0) return 3;
  return -1;
}

// The character starting at `pos`, which moves past it; nullopt for a malformed sequence
// (overlong, surrogate, beyond U+10FFFF, truncated).
std::optional<char32_t> decodeUtf8(std::string_view text, size_t& pos) {
  static constexpr std::array<unsigned char, 4> kLeadBits = {0x7F, 0x1F, 0x0F, 0x07};
  static constexpr std::array<char32_t, 4> kShortest = {0, 0x80, 0x800, 0x10000};
  const auto lead = static_cast<unsigned char>(text[pos++]);
  const int extra = continuationBytes(lead);
  if (extra < 0) return std::nullopt;
  const auto length = static_cast<size_t>(extra);
  char32_t c = lead & kLeadBits[length];
  for (size_t i = 0; i < length; ++i, ++pos) {
    if (pos >= text.size()) return std::nullopt;
    const auto next = static_cast<unsigned char>(text[pos]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (next & 0x3Fu);
  }
  if (c < kShortest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  return c;
}

}  // namespace

Result<std::string> toCp1252(std::string_view utf8) {
  const auto unrepresentable = [](std::string_view character) {
    return Failure{texts::kUnrepresentableBefore + std::string(character) +
                   texts::kUnrepresentableAfter};
  };
  std::string bytes;
  bytes.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    const size_t start = pos;
    const std::optional<char32_t> c = decodeUtf8(utf8, pos);
    if (!c) return unrepresentable(kReplacementCharacter);
    const std::optional<char> byte = byteOf(*c);
    if (!byte) return unrepresentable(utf8.substr(start, pos - start));
    bytes += *byte;
  }
  return bytes;
}

std::string fromCp1252(std::string_view bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const char byte : bytes) appendUtf8(utf8, characterOf(static_cast<unsigned char>(byte)));
  return utf8;
}

}  // namespace segno
