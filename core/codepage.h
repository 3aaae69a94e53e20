#pragma once

#include <string>
#include <string_view>

#include "result.h"

namespace segno {

// UTF-8 to Windows-1252, the 8-bit code page of the sample file, 0x80-0x9F mapped as Windows
// maps them (0x80 is the euro sign). Fails on the first character that has no byte there:
// "il carattere «X» non è rappresentabile", a malformed UTF-8 sequence shown as U+FFFD.
Result<std::string> toCp1252(std::string_view utf8);

// Windows-1252 to UTF-8. Every byte converts; the five bytes Windows leaves unassigned
// become the control characters of the same number, as Windows itself converts them.
std::string fromCp1252(std::string_view bytes);

}  // namespace segno
