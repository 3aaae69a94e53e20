#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "network.h"
#include "result.h"

namespace segno {

constexpr int kFileRecords = 21;                   // the file carries rows 0 to 20 of MatM
constexpr size_t kMaxFileBytes = size_t{1} << 20;  // larger files are refused unread

// What a sample file holds, labels as UTF-8.
struct SampleFile {
  std::array<SampleRow, kFileRecords> rows{};  // labelled records first, then the others
  std::vector<std::string> sampleLabels;       // the non-empty record labels, in file order
  std::vector<std::string> neuronLabels;       // every field after the records, empty ones too
};

// The whole file's text, Windows-1252 with CR LF after every line: rows 0 to 20 of MatM with
// their labels ("" past the last sample), then every neuron label. Labels are quoted, a quote
// inside one doubled. Fails only on a character that Windows-1252 cannot hold.
Result<std::string> writeSampleFile(const Network& net);

// Parses a whole file of at most kMaxFileBytes; nothing is half-built: either every field is
// valid or the reason, with record and field where it applies. The text is one stream of
// fields, each ending at a comma, at LF or CR LF, or at the end of the input:
//  - blanks (space, tab) around an unquoted field are dropped; a CR not followed by LF is
//    an ordinary byte, and so is NUL;
//  - a field that starts with a quote runs to its closing quote, commas and line ends
//    included, "" inside standing for one quote; only blanks may follow the closing quote
//    before the field ends, and a quote never closed refuses the file;
//  - a cell is a whole number from -32768 to 32767 (an empty field is 0);
//  - every field after the 21 records is a neuron label, at most kMaxNeurons of them;
//  - rows keep the order of their records, but the labelled ones come first, so that row k
//    is always the drawing stored with sample label k.
Result<SampleFile> readSampleFile(std::string_view bytes);

}  // namespace segno
