// The costly operations at the largest sizes: a training, a recognition, a round trip of a
// full sample file through the core, and SAVE's replacing of supply.txt on the disk.
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <cstdio>
#include <string>

#include "replacefile.h"
#include "formstate.h"
#include "fullsize.h"
#include "network.h"
#include "samplefile.h"

namespace {

using namespace segno;

// One ADDESTRA's training: 21 neurons, each one pass over 22 samples.
void BM_Train(benchmark::State& state) {
  Network net = bench::fullNetwork();
  for (auto _ : state) {
    // Row 20 is not zeroed by a training; zero it so that every iteration repeats the first
    // training of a fresh window instead of refining the previous one.
    net.W[kMaxNeurons - 1] = {};
    if (!train(net).ok()) state.SkipWithError("training overflowed");
    benchmark::DoNotOptimize(net.W);
  }
}
BENCHMARK(BM_Train)->Unit(benchmark::kMicrosecond);

// One RICONOSCI on a grid that no neuron fires on, so all 21 neurons are tested.
void BM_Recognise(benchmark::State& state) {
  FormState form;
  form.net = bench::fullNetwork();
  const auto grid = addestra(form).ok() ? bench::gridNoNeuronFiresOn(form.net) : std::nullopt;
  if (!grid) return state.SkipWithError("no grid that every neuron rejects");
  form.grid = *grid;
  for (auto _ : state) {
    if (!visualizza(form).ok()) state.SkipWithError("recognition refused");
    benchmark::DoNotOptimize(form.list2Selection);
  }
}
BENCHMARK(BM_Recognise)->Unit(benchmark::kMicrosecond);

// SAVE's text and LOAD's parse of a full file: 21 records, 21 neuron labels.
void BM_FileRoundTrip(benchmark::State& state) {
  const Network net = bench::fullNetwork();
  for (auto _ : state) {
    const Result<std::string> written = writeSampleFile(net);
    if (!written.ok()) return state.SkipWithError("write refused");
    Result<SampleFile> read = readSampleFile(written.value());
    if (!read.ok() || read.value().neuronLabels.size() != kMaxNeurons)
      state.SkipWithError("read refused");
    benchmark::DoNotOptimize(read);
  }
}
BENCHMARK(BM_FileRoundTrip)->Unit(benchmark::kMicrosecond);

// SAVE's disk work for a full file: a synced temporary file renamed over the old one, then the
// folder synced. The file is bench-supply.txt in the current folder, removed afterwards.
void BM_ReplaceFile(benchmark::State& state) {
  const std::string text = writeSampleFile(bench::fullNetwork()).value();
  const int folder = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (auto _ : state) {
    if (!replaceFile(folder, "bench-supply.txt", text).ok()) state.SkipWithError("replace refused");
  }
  ::close(folder);
  std::remove("bench-supply.txt");
}
BENCHMARK(BM_ReplaceFile)->Unit(benchmark::kMicrosecond);

}  // namespace
