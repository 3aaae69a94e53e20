// The sample file's text and its 8-bit code page.
#include "samplefile.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <regex>

#include "codepage.h"

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
    EXPECT_EQ(std::pair(fromCp1252(byte), toCp1252(utf8).value()), std::pair(utf8, byte)) << b;
  }
  iconv_close(toUtf8);
  // U+0080's byte holds the euro sign; a malformed sequence is shown as U+FFFD.
  const std::pair<const char*, const char*> cases[] = {
      {"aΩ", "Ω"}, {"😀", "😀"}, {"\uE000", "\uE000"}, {"\u0080", "\u0080"}, {"a\xC0\xAF", "\uFFFD"}};
  for (const auto& [text, first] : cases)
    EXPECT_EQ(toCp1252(text).reason(),
              std::string("il carattere «") + first + "» non è rappresentabile");
}

TEST(SampleFileReader, RefusesBrokenFilesSaysWhereAndReadsQuotesBack) {
  // A file whose rows were never filled: each of 21 marks becomes a record of zeros, unlabelled.
  const std::string all =
      std::regex_replace(std::string(kFileRecords, 'r'), std::regex("r"),
                         "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,\"\"\r\n");
  // What is wrong, the file, then the reason given.
  const std::tuple<const char*, std::string, const char*> cases[] = {
      {"ends inside record 21", all.substr(0, all.size() - 4),
       "file incompleto (record 21, campo 31)"},
      {"a cell past 16 bits", "0,0,32768" + all.substr(5), "valore non valido (record 1, campo 3)"},
      {"22 neuron labels", all + std::string(22, ','), "più di 21 neuroni"},
      {"a quote never closed", "\"A" + all, "virgolette non chiuse (record 1, campo 1)"},
      {"text after a quote", std::regex_replace(all, std::regex("\"\"\r\n"), "\"\"x\r\n"),
       "testo dopo le virgolette (record 1, campo 31)"},
      {"1 MiB and one byte", all + std::string(kMaxFileBytes - all.size() + 1, 'x'),
       "file troppo grande"}};
  for (const auto& [name, text, why] : cases) EXPECT_EQ(readSampleFile(text).reason(), why) << name;
  EXPECT_TRUE(readSampleFile(all + std::string(kMaxFileBytes - all.size(), 'x')).ok());
  // Quotes in a label come back whole: the writer doubles them, the reader halves them again.
  const Network net{.sampleLabels = {"\"A\""}, .neuronLabels = {"\"A\""}};
  EXPECT_EQ(readSampleFile(writeSampleFile(net).value()).value().sampleLabels, net.sampleLabels);
}
