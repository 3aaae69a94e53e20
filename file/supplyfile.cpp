#include "supplyfile.h"

#include <string>

#include "samplefile.h"
#include "texts.h"

namespace segno {

constexpr const char* kFileName = "supply.txt";

// Each step runs only on what the one before it gave; the first failure is the one reported.
Result<> loadSupply(FormState& state, const ProgramFolder& programFolder) {
  const Result<int> folder = programFolder.handle();
  const Result<std::string> bytes =
      folder.ok() ? readRegularFile(folder.value(), kFileName, kMaxFileBytes) : folder.failure();
  const Result<SampleFile> read = bytes.ok() ? readSampleFile(bytes.value()) : bytes.failure();
  if (!read.ok()) return Failure{texts::kCannotLoad + read.reason()};
  applySampleFile(state, read.value());
  return {};
}

Result<Replaced> saveSupply(const FormState& state, const ProgramFolder& programFolder,
                            const SaveSeams& seams) {
  const Result<int> folder = programFolder.handle();
  const Result<std::string> text = folder.ok() ? writeSampleFile(state.net) : folder.failure();
  Result<Replaced> saved =
      text.ok() ? replaceFile(folder.value(), kFileName, text.value(), seams) : text.failure();
  if (!saved.ok()) return Failure{texts::kCannotSave + saved.reason()};
  return saved;
}

}  // namespace segno
