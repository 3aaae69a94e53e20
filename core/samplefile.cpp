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

enum class FieldError { None, UnclosedQuote, TextAfterQuote };

struct Field {
  std::string text;
  FieldError error = FieldError::None;
};

// Cuts the file into fields; see readSampleFile for the rules.
class FieldReader {
 public:
  explicit FieldReader(std::string_view bytes) : bytes_(bytes) {}

  bool atEnd() const { return pos_ >= bytes_.size(); }

  // The next field. Precondition: !atEnd().
  Field next() {
    while (!atEnd() && isBlank(bytes_[pos_])) ++pos_;
    if (!atEnd() && bytes_[pos_] == '"') return readQuoted();
    return readPlain();
  }

 private:
  bool at(char c) const { return !atEnd() && bytes_[pos_] == c; }

  Field readPlain() {
    const size_t start = pos_;
    while (!atEnd() && bytes_[pos_] != ',' && bytes_[pos_] != '\n') ++pos_;
    std::string_view text = bytes_.substr(start, pos_ - start);
    if (at('\n') && !text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (!atEnd()) ++pos_;
    return {std::string(trimBlanks(text))};
  }

  Field readQuoted() {
    Field field;
    ++pos_;  // the opening quote
    while (true) {
      const size_t quote = bytes_.find('"', pos_);
      if (quote == std::string_view::npos) return {{}, FieldError::UnclosedQuote};
      field.text.append(bytes_.substr(pos_, quote - pos_));
      pos_ = quote + 1;
      if (!at('"')) break;
      field.text += '"';
      ++pos_;
    }
    if (!endField()) field.error = FieldError::TextAfterQuote;
    return field;
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

std::optional<int16_t> cellValue(std::string_view text) {
  text = trimBlanks(text);
  if (text.empty()) return int16_t{0};
  int16_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

std::string recordPlace(int record, int field) {
  return " (record " + std::to_string(record + 1) + ", campo " + std::to_string(field + 1) + ")";
}

std::string neuronPlace(size_t neuron) {
  return " (neurone " + std::to_string(neuron + 1) + ")";
}

// Why a field could not be read, or nullopt when it could.
std::optional<std::string> fieldFault(const Field& field) {
  switch (field.error) {
    case FieldError::None:
      return std::nullopt;
    case FieldError::UnclosedQuote:
      return texts::kUnclosedQuote;
    case FieldError::TextAfterQuote:
      return texts::kTextAfterQuote;
  }
  return std::nullopt;
}

// The 21 records into `file`; a reason when they are not all there and valid.
std::optional<std::string> readRecords(FieldReader& reader, SampleFile& file) {
  std::array<SampleRow, kFileRecords> records{};
  std::array<bool, kFileRecords> labelled{};
  for (int r = 0; r < kFileRecords; ++r) {
    SampleRow& row = records[static_cast<size_t>(r)];
    for (int f = 0; f < kRecordFields; ++f) {
      if (reader.atEnd()) return texts::kFileIncomplete + recordPlace(r, f);
      const Field field = reader.next();
      if (auto fault = fieldFault(field)) return *fault + recordPlace(r, f);
      if (f < kCells) {
        const std::optional<int16_t> value = cellValue(field.text);
        if (!value) return texts::kInvalidValue + recordPlace(r, f);
        row[static_cast<size_t>(f)] = *value;
      } else if (!field.text.empty()) {
        labelled[static_cast<size_t>(r)] = true;
        file.sampleLabels.push_back(fromCp1252(field.text));
      }
    }
  }
  // Labelled records first, so that every label keeps the drawing stored with it.
  size_t next = 0;
  for (const bool first : {true, false}) {
    for (size_t r = 0; r < kFileRecords; ++r)
      if (labelled[r] == first) file.rows[next++] = records[r];
  }
  return std::nullopt;
}

// Every remaining field as a neuron label; a reason when one is malformed or too many.
std::optional<std::string> readNeurons(FieldReader& reader, SampleFile& file) {
  while (!reader.atEnd()) {
    const size_t n = file.neuronLabels.size();
    if (n == kMaxNeurons) return texts::kOverMaxNeurons;
    const Field field = reader.next();
    if (auto fault = fieldFault(field)) return *fault + neuronPlace(n);
    file.neuronLabels.push_back(fromCp1252(field.text));
  }
  return std::nullopt;
}

// Appends a label's line: the label between quotes, a quote inside it doubled, then the line
// end. False, with the reason, when the code page cannot hold one of its characters.
bool appendLabelLine(std::string& out, const std::string& label, std::string& reason) {
  const Cp1252Text converted = toCp1252(label);
  if (!converted.ok()) {
    reason =
        texts::kUnrepresentableBefore + converted.unrepresentable + texts::kUnrepresentableAfter;
    return false;
  }
  out += '"';
  for (const char c : converted.bytes) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  out += kLineEnd;
  return true;
}

}  // namespace

WriteResult writeSampleFile(const Network& net) {
  static const std::string kNoLabel;
  WriteResult result;
  std::string out;
  for (size_t r = 0; r < kFileRecords; ++r) {
    for (const int16_t value : net.MatM[r]) out += std::to_string(value) + ',';
    const std::string& label = r < net.sampleLabels.size() ? net.sampleLabels[r] : kNoLabel;
    if (!appendLabelLine(out, label, result.reason)) return result;
  }
  for (const std::string& label : net.neuronLabels)
    if (!appendLabelLine(out, label, result.reason)) return result;
  result.value = std::move(out);
  return result;
}

ReadResult readSampleFile(std::string_view bytes) {
  if (bytes.size() > kMaxFileBytes) return {std::nullopt, texts::kFileTooLarge};
  FieldReader reader(bytes);
  SampleFile file;
  if (auto reason = readRecords(reader, file)) return {std::nullopt, std::move(*reason)};
  if (auto reason = readNeurons(reader, file)) return {std::nullopt, std::move(*reason)};
  return {std::move(file), {}};
}

bool canSave(const FormState& state) {
  return !state.net.neuronLabels.empty();
}

void applySampleFile(FormState& state, const SampleFile& file) {
  Network& net = state.net;
  net.sampleLabels = file.sampleLabels;
  for (size_t r = 0; r < file.rows.size(); ++r) net.MatM[r] = file.rows[r];
  net.neuronLabels = file.neuronLabels;
  state.LBNneuroni = std::to_string(net.neuronLabels.size());
  state.list2Selection = -1;
}

}  // namespace segno
