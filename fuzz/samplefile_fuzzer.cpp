// Feeds arbitrary bytes to the sample-file reader. Whatever it accepts must survive a write
// and a second read unchanged; whatever it refuses must come with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "samplefile.h"

namespace {

segno::Network networkFrom(const segno::SampleFile& file) {
  segno::Network net;
  for (size_t r = 0; r < file.rows.size(); ++r) net.MatM[r] = file.rows[r];
  net.sampleLabels = file.sampleLabels;
  net.neuronLabels = file.neuronLabels;
  return net;
}

bool sameContent(const segno::SampleFile& a, const segno::SampleFile& b) {
  return a.rows == b.rows && a.sampleLabels == b.sampleLabels && a.neuronLabels == b.neuronLabels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const segno::ReadResult first = segno::readSampleFile(bytes);
  if (!first.file) {
    if (first.reason.empty()) std::abort();
    return 0;
  }
  const segno::WriteResult written = segno::writeSampleFile(networkFrom(*first.file));
  if (!written.bytes) std::abort();  // labels read from the file always fit its code page
  // Doubled quotes can push a rewritten file past the size limit; nothing to compare then.
  if (written.bytes->size() > segno::kMaxFileBytes) return 0;
  const segno::ReadResult second = segno::readSampleFile(*written.bytes);
  if (!second.file || !sameContent(*first.file, *second.file)) std::abort();
  return 0;
}
