#include "samplefile.h"

#include <charconv>
#include <cstdint>
#include <utility>

#include "codepage.h"
#include "texts.h"

namespace segno {
namespace {

constexpr int kRecordFields = kCells + 1;  // 30 cells, then the label
constexpr const char* kLineEnd = "\r\n";

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Cuts the file into fields; see readSampleFile for the rules.
class FieldReader {
 public:
  explicit FieldReader(std::string_view bytes) : bytes_(bytes) {}

  bool atEnd() const { return pos_ >= bytes_.size(); }

  // The next field's text, or why it is malformed. Precondition: !atEnd().
  Result<std::string> next() {
    while (!atEnd() && isBlank(bytes_[pos_])) ++pos_;
    if (!atEnd() && bytes_[pos_] == '"') return readQuoted();
    return readPlain();
  }

 private:
  bool at(char c) const { return !atEnd() && bytes_[pos_] == c; }

  std::string readPlain() {
    const size_t start = pos_;
    while (!atEnd() && bytes_[pos_] != ',' && bytes_[pos_] != '\n') ++pos_;
    std::string_view text = bytes_.substr(start, pos_ - start);
    if (at('\n') && !text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (!atEnd()) ++pos_;
    return std::string(trimBlanks(text));
  }

  Result<std::string> readQuoted() {
    std::string text;
    ++pos_;  // the opening quote
    while (true) {
      const size_t quote = bytes_.find('"', pos_);
      if (quote == std::string_view::npos) return Failure{texts::kUnclosedQuote};
      text.append(bytes_.substr(pos_, quote - pos_));
      pos_ = quote + 1;
      if (!at('"')) break;
      text += '"';
      ++pos_;
    }
    if (!endField()) return Failure{texts::kTextAfterQuote};
    return text;
  }

  // Consumes the blanks and the separator after a closing quote; false when text stands there.
  bool endField() {
    while (!atEnd() && isBlank(bytes_[pos_])) ++pos_;
    if (at('\r') && pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '\n') ++pos_;
    if (atEnd()) return true;
    if (!at(',') && !at('\n')) return false;
    ++pos_;
    return true;
  }

  std::string_view bytes_;
  size_t pos_ = 0;
};

Result<int16_t> cellValue(std::string_view text) {
  text = trimBlanks(text);
  if (text.empty()) return int16_t{0};
  int16_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc{} || stop != end) return Failure{texts::kInvalidValue};
  return value;
}

// A reason with the place it applies to: " (record R, campo F)" or " (neurone N)".
Failure placed(const std::string& reason, int record, int field) {
  return {reason + " (record " + std::to_string(record + 1) + ", campo " +
          std::to_string(field + 1) + ")"};
}

Failure placed(const std::string& reason, size_t neuron) {
  return {reason + " (neurone " + std::to_string(neuron + 1) + ")"};
}

// The 21 records into `file`; the reason when they are not all there and valid.
Result<> readRecords(FieldReader& reader, SampleFile& file) {
  std::array<SampleRow, kFileRecords> records{};
  std::array<bool, kFileRecords> labelled{};
  for (int r = 0; r < kFileRecords; ++r) {
    SampleRow& row = records[static_cast<size_t>(r)];
    for (int f = 0; f < kRecordFields; ++f) {
      if (reader.atEnd()) return placed(texts::kFileIncomplete, r, f);
      const Result<std::string> field = reader.next();
      if (!field.ok()) return placed(field.reason(), r, f);
      if (f < kCells) {
        const Result<int16_t> value = cellValue(field.value());
        if (!value.ok()) return placed(value.reason(), r, f);
        row[static_cast<size_t>(f)] = value.value();
      } else if (!field.value().empty()) {
        labelled[static_cast<size_t>(r)] = true;
        file.sampleLabels.push_back(fromCp1252(field.value()));
      }
    }
  }
  // Labelled records first, so that every label keeps the drawing stored with it.
  size_t next = 0;
  for (const bool first : {true, false}) {
    for (size_t r = 0; r < kFileRecords; ++r)
      if (labelled[r] == first) file.rows[next++] = records[r];
  }
  return {};
}

// Every remaining field as a neuron label; the reason when one is malformed or too many.
Result<> readNeurons(FieldReader& reader, SampleFile& file) {
  while (!reader.atEnd()) {
    const size_t n = file.neuronLabels.size();
    if (n == kMaxNeurons) return Failure{texts::kOverMaxNeurons};
    const Result<std::string> field = reader.next();
    if (!field.ok()) return placed(field.reason(), n);
    file.neuronLabels.push_back(fromCp1252(field.value()));
  }
  return {};
}

// Appends a label's line: the label between quotes, a quote inside it doubled, then the line
// end. Fails when the code page cannot hold one of its characters.
Result<> appendLabelLine(std::string& out, const std::string& label) {
  const Result<std::string> converted = toCp1252(label);
  if (!converted.ok()) return converted.failure();
  out += '"';
  for (const char c : converted.value()) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  out += kLineEnd;
  return {};
}

}  // namespace

Result<std::string> writeSampleFile(const Network& net) {
  static const std::string kNoLabel;
  std::string out;
  for (size_t r = 0; r < kFileRecords; ++r) {
    for (const int16_t value : net.MatM[r]) out += std::to_string(value) + ',';
    const std::string& label = r < net.sampleLabels.size() ? net.sampleLabels[r] : kNoLabel;
    if (Result<> line = appendLabelLine(out, label); !line.ok()) return line.failure();
  }
  for (const std::string& label : net.neuronLabels)
    if (Result<> line = appendLabelLine(out, label); !line.ok()) return line.failure();
  return out;
}

Result<SampleFile> readSampleFile(std::string_view bytes) {
  if (bytes.size() > kMaxFileBytes) return Failure{texts::kFileTooLarge};
  FieldReader reader(bytes);
  SampleFile file;
  if (Result<> records = readRecords(reader, file); !records.ok()) return records.failure();
  if (Result<> neurons = readNeurons(reader, file); !neurons.ok()) return neurons.failure();
  return file;
}

}  // namespace segno
