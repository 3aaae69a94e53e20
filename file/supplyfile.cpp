#include "supplyfile.h"

#include <string>

#include "samplefile.h"
#include "texts.h"

namespace segno {
namespace {

constexpr const char* kFileName = "supply.txt";

Failure refused(const char* operation, const std::string& reason) {
  return {operation + reason};
}

}  // namespace

Result<> loadSupply(FormState& state, const ProgramFolder& programFolder) {
  const Result<int> folder = programFolder.handle();
  if (!folder.ok()) return refused(texts::kCannotLoad, folder.reason());
  const Result<std::string> bytes = readRegularFile(folder.value(), kFileName, kMaxFileBytes);
  if (!bytes.ok()) return refused(texts::kCannotLoad, bytes.reason());
  const Result<SampleFile> read = readSampleFile(bytes.value());
  if (!read.ok()) return refused(texts::kCannotLoad, read.reason());
  applySampleFile(state, read.value());
  return {};
}

Result<Replaced> saveSupply(const FormState& state, const ProgramFolder& programFolder,
                            const SaveSeams& seams) {
  const Result<int> folder = programFolder.handle();
  if (!folder.ok()) return refused(texts::kCannotSave, folder.reason());
  const Result<std::string> text = writeSampleFile(state.net);
  if (!text.ok()) return refused(texts::kCannotSave, text.reason());
  Result<Replaced> replaced = replaceFile(folder.value(), kFileName, text.value(), seams);
  if (!replaced.ok()) return refused(texts::kCannotSave, replaced.reason());
  return replaced;
}

}  // namespace segno
