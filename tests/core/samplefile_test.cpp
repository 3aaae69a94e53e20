#include "samplefile.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace segno {
namespace {

const std::string kZeroCells = [] {
  std::string cells;
  for (int c = 0; c < kCells; ++c) cells += "0,";
  return cells;
}();

const size_t kRecordBytes = kZeroCells.size() + 4;  // and an empty label with its line end

// 21 records of zero cells; record r carries labels[r], or "" past the list.
std::string records(const std::vector<std::string>& labels = {}) {
  std::string text;
  for (size_t r = 0; r < kFileRecords; ++r)
    text += kZeroCells + "\"" + (r < labels.size() ? labels[r] : "") + "\"\r\n";
  return text;
}

SampleRow blankWith(std::initializer_list<size_t> black) {
  SampleRow row;
  row.fill(-1);
  for (const size_t c : black) row[c] = 1;
  return row;
}

Network iAndL() {
  Network net;
  net.sampleLabels = {"I", "L"};
  net.MatM[0] = blankWith({2, 7, 12, 17, 22, 27});
  net.MatM[1] = blankWith({0, 5, 10, 15, 20, 25, 26, 27, 28, 29});
  net.neuronLabels = {"I", "L"};
  return net;
}

auto everything(const FormState& s) {
  return std::tie(s.net.sampleLabels, s.net.MatM, s.net.neuronLabels, s.net.W, s.net.eta, s.grid,
                  s.LBch, s.Label2, s.Label7, s.LBNneuroni, s.list2Selection);
}

auto contents(const SampleFile& f) {
  return std::tie(f.rows, f.sampleLabels, f.neuronLabels);
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TEST(SampleFileWriter, WritesTheIAndLExampleByteForByte) {
  std::string expected =
      "-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,"
      "\"I\"\r\n"
      "1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,-1,-1,-1,-1,1,1,1,1,1,\"L\"\r\n";
  for (int line = 3; line <= 21; ++line)
    expected += "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,\"\"\r\n";
  expected += "\"I\"\r\n\"L\"\r\n";
  EXPECT_EQ(writeSampleFile(iAndL()).bytes, expected);
}

TEST(SampleFile, RoundTripKeepsTwentyOneSamplesAndEveryNeuron) {
  Network net;
  for (size_t k = 0; k < kMaxSamples; ++k) {
    net.sampleLabels.push_back("s" + std::to_string(k));
    for (size_t c = 0; c < kCells; ++c) net.MatM[k][c] = static_cast<int16_t>((k + c) % 3) - 1;
  }
  net.MatM[0][0] = -32768;
  net.MatM[20][29] = 32767;
  net.sampleLabels[1] = "a, b";
  net.sampleLabels[2] = "  spaced  ";
  net.sampleLabels[3] = "say \"hi\"";
  net.sampleLabels[4] = "è€";
  net.neuronLabels = {"a, b", "say \"hi\"", "è€", "", "s21"};  // s21 only on the 22nd sample

  const WriteResult written = writeSampleFile(net);
  ASSERT_TRUE(written.bytes) << written.reason;
  EXPECT_NE(written.bytes->find("\"say \"\"hi\"\"\""), std::string::npos);
  const ReadResult read = readSampleFile(*written.bytes);
  ASSERT_TRUE(read.file) << read.reason;
  for (size_t r = 0; r < kFileRecords; ++r) EXPECT_EQ(read.file->rows[r], net.MatM[r]) << r;
  const std::vector<std::string> first21(net.sampleLabels.begin(), net.sampleLabels.end() - 1);
  EXPECT_EQ(read.file->sampleLabels, first21);
  EXPECT_EQ(read.file->neuronLabels, net.neuronLabels);
}

TEST(SampleFileReader, ToleratesHarmlessDifferences) {
  const std::string original = *writeSampleFile(iAndL()).bytes;
  struct Row {
    const char* name;
    std::function<std::string(std::string)> change;
  };
  const Row rows[] = {
      {"LF alone", [](std::string t) { return replaceAll(t, "\r\n", "\n"); }},
      {"no final line end", [](std::string t) { return t.substr(0, t.size() - 2); }},
      {"blanks around numbers", [](std::string t) { return replaceAll(t, ",", " ,\t "); }},
      {"one field per line", [](std::string t) { return replaceAll(t, ",", "\r\n"); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ReadResult read = readSampleFile(row.change(original));
    ASSERT_TRUE(read.file) << read.reason;
    EXPECT_TRUE(contents(*read.file) == contents(*readSampleFile(original).file));
  }
}

TEST(SampleFileReader, EmptyRecordLabelsLetLaterLabelsMoveUp) {
  std::string text = records({"A", "", "B", "", "C"});
  text.replace(0, kZeroCells.size(), replaceAll(kZeroCells, "0", "1"));
  const ReadResult read = readSampleFile(text);
  ASSERT_TRUE(read.file) << read.reason;
  EXPECT_EQ(read.file->sampleLabels, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(read.file->rows[0][0], 1);  // rows stay where their records are
  EXPECT_EQ(read.file->rows[1][0], 0);
}

TEST(SampleFileReader, TakesEveryFieldAfterTheRecordsAsANeuronLabel) {
  struct Row {
    const char* name;
    std::string section;
    std::vector<std::string> labels;
  };
  const Row rows[] = {
      {"nothing after the records", "", {}},
      {"empty line kept", "\"I\"\r\n\r\n\"L\"", {"I", "", "L"}},
      {"comma separates", "\"I\",\"L\"", {"I", "L"}},
      {"line end inside quotes", "\"a\r\nb\"", {"a\r\nb"}},
      {"lone CR is text", "a\rb\r\n", {"a\rb"}},
      {"NUL is text", std::string("\"a\0b\"", 5), {std::string("a\0b", 3)}},
      {"twenty-one labels", replaceAll(records(), kZeroCells, ""), std::vector<std::string>(21)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ReadResult read = readSampleFile(records() + row.section);
    ASSERT_TRUE(read.file) << read.reason;
    EXPECT_EQ(read.file->neuronLabels, row.labels);
  }
}

TEST(SampleFileReader, ConvertsCellTexts) {
  struct Row {
    const char* name;
    std::string cell;
    std::optional<int16_t> value;
  };
  const Row rows[] = {
      {"empty", "", 0},           {"smallest", "-32768", -32768}, {"largest", "32767", 32767},
      {"too large", "32768", {}}, {"too small", "-32769", {}},    {"fraction", "1.5", {}},
      {"lone CR", "1\r", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string text = records();
    text.replace(2 * kRecordBytes + 6 * 2, 1, row.cell);  // record 3, cell 7
    const ReadResult read = readSampleFile(text);
    if (row.value) {
      ASSERT_TRUE(read.file) << read.reason;
      EXPECT_EQ(read.file->rows[2][6], *row.value);
    } else {
      EXPECT_FALSE(read.file);
      EXPECT_EQ(read.reason, "valore non valido (record 3, campo 7)");
    }
  }
}

TEST(SampleFileReader, RefusesBrokenFilesWithAReason) {
  const std::string all = records();
  const std::string twentyRecords = all.substr(0, all.size() - kRecordBytes);
  struct Row {
    const char* name;
    std::string text;
    std::string reason;
  };
  const Row rows[] = {
      {"empty file", "", "file incompleto (record 1, campo 1)"},
      {"twenty records", twentyRecords, "file incompleto (record 21, campo 1)"},
      {"last label missing", twentyRecords + kZeroCells, "file incompleto (record 21, campo 31)"},
      {"twenty-two neurons", all + replaceAll(records(), kZeroCells, "") + "\"x\"",
       "più di 21 neuroni"},
      {"unclosed label", "\"A" + all, "virgolette non chiuse (record 1, campo 1)"},
      {"unclosed neuron label", all + "\"I\"\r\n\"L\r\n", "virgolette non chiuse (neurone 2)"},
      {"text after a quote", replaceAll(all, "\"\"\r\n", "\"\"x\r\n"),
       "testo dopo le virgolette (record 1, campo 31)"},
      {"lone CR after a quote", all + "\"I\"\r\r\n", "testo dopo le virgolette (neurone 1)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ReadResult read = readSampleFile(row.text);
    EXPECT_FALSE(read.file);
    EXPECT_EQ(read.reason, row.reason);
  }
}

TEST(SampleFileReader, RefusesMoreThanOneMebibyte) {
  const std::string base = records() + "\"\"";
  const std::string largest =
      records() + "\"" + std::string(kMaxFileBytes - base.size(), 'x') + "\"";
  EXPECT_TRUE(readSampleFile(largest).file);
  const ReadResult read = readSampleFile(largest + " ");
  EXPECT_FALSE(read.file);
  EXPECT_EQ(read.reason, "file troppo grande");
}

TEST(SampleFile, ApplyingReplacesListsAndRowsOnly) {
  FormState state;
  state.net.sampleLabels.assign(22, "old");
  state.net.neuronLabels = {"old"};
  state.net.MatM[0].fill(5);
  state.net.MatM[21].fill(9);
  state.net.W[3][4] = 11;
  state.grid[0] = kBlack;
  state.LBch = "q";
  state.Label2 = texts::kRecognised;
  state.Label7 = texts::kTrained;
  state.list2Selection = 0;
  FormState expected = state;

  const ReadResult read = readSampleFile(records({"A"}));
  ASSERT_TRUE(read.file) << read.reason;
  applySampleFile(state, *read.file);

  expected.net.sampleLabels = {"A"};
  expected.net.neuronLabels = {};
  expected.net.MatM[0].fill(0);
  expected.LBNneuroni = "0";
  expected.list2Selection = -1;
  EXPECT_TRUE(everything(state) == everything(expected));
}

}  // namespace
}  // namespace segno
