#pragma once

#include <string>
#include <string_view>

namespace segno {

// Text converted to Windows-1252, the 8-bit code page of the sample file. When a character
// has no byte there, `unrepresentable` holds the first such character (as UTF-8) and
// `bytes` is meaningless.
struct Cp1252Text {
  std::string bytes;
  std::string unrepresentable;
  bool ok() const { return unrepresentable.empty(); }
};

// UTF-8 to Windows-1252, 0x80-0x9F mapped as Windows maps them (0x80 is the euro sign).
// A malformed UTF-8 sequence counts as unrepresentable and is reported as U+FFFD.
Cp1252Text toCp1252(std::string_view utf8);

// Windows-1252 to UTF-8. Every byte converts; the five bytes Windows leaves unassigned
// become the control characters of the same number, as Windows itself converts them.
std::string fromCp1252(std::string_view bytes);

}  // namespace segno
