#include "codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace segno {
namespace {

TEST(Codepage, ConvertsCharactersBothWays) {
  struct Row {
    const char* name;
    std::string utf8, byte;
  };
  const Row rows[] = {
      {"euro at 0x80", "€", "\x80"},         {"S caron at 0x8A", "Š", "\x8A"},
      {"trade mark at 0x99", "™", "\x99"},   {"unassigned 0x81", "\u0081", "\x81"},
      {"unassigned 0x9D", "\u009D", "\x9D"}, {"degree sign", "°", "\xB0"},
      {"y diaeresis", "ÿ", "\xFF"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(toCp1252(row.utf8).bytes, row.byte);
    EXPECT_EQ(fromCp1252(row.byte), row.utf8);
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(toCp1252(fromCp1252(all)).bytes, all);
}

TEST(Codepage, NamesTheFirstCharacterItCannotHold) {
  struct Row {
    const char* name;
    std::string utf8, unrepresentable;
  };
  const Row rows[] = {
      {"greek omega first", "aΩb中", "Ω"},
      {"four-byte emoji", "x😀", "😀"},
      {"U+0080, whose byte holds the euro", "\u0080", "\u0080"},
      {"malformed UTF-8", "a\xC0\xAF", "\uFFFD"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(toCp1252(row.utf8).unrepresentable, row.unrepresentable);
  }
}

}  // namespace
}  // namespace segno
