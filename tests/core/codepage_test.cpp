#include "codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

using namespace segno;

TEST(Codepage, AgreesWithTheCLibraryOnEveryByteAndNamesWhatItCannotHold) {
  iconv_t toUtf8 = iconv_open("UTF-8", "WINDOWS-1252");
  for (int b = 0; b < 256; ++b) {
    std::string byte(1, static_cast<char>(b)), utf8(4, '\0');
    char *in = byte.data(), *out = utf8.data();
    size_t inLeft = 1, outLeft = utf8.size();
    const bool assigned = iconv(toUtf8, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    // The five bytes Windows leaves unassigned become the control characters of their number.
    utf8 = assigned ? utf8.substr(0, utf8.size() - outLeft) : "\xC2" + byte;
    EXPECT_EQ(fromCp1252(byte), utf8) << b;
    EXPECT_EQ(toCp1252(utf8).value(), byte) << b;
  }
  iconv_close(toUtf8);
  // U+0080's byte holds the euro sign; a malformed sequence is shown as U+FFFD.
  for (const auto& [text, first] :
       {std::pair{"aΩb😀", "Ω"}, {"\u0080", "\u0080"}, {"a\xC0\xAF", "\uFFFD"}})
    EXPECT_EQ(toCp1252(text).reason(),
              std::string("il carattere «") + first + "» non è rappresentabile");
}
