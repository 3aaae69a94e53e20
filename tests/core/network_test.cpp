#include <gtest/gtest.h>

#include "formstate.h"

namespace segno {
namespace {

const std::vector<int> kICells{2, 7, 12, 17, 22, 27}, kLCells{0, 5, 10, 15, 20, 25, 26, 27, 28, 29};

SampleRow rowWithBlack(const std::vector<int>& cells) {
  SampleRow row;
  row.fill(-1);
  for (int c : cells) row[static_cast<size_t>(c)] = 1;
  return row;
}

const Input kI = inputFromRow(rowWithBlack(kICells)), kL = inputFromRow(rowWithBlack(kLCells));

// Sample k is labelled samples[k] and drawn as rows[k]; one neuron per character of `neurons`.
Network networkOf(const std::string& samples, const std::vector<SampleRow>& rows,
                  const std::string& neurons) {
  Network net;
  std::copy(rows.begin(), rows.end(), net.MatM.begin());
  for (const char s : samples) net.sampleLabels.emplace_back(1, s);
  for (const char n : neurons) net.neuronLabels.emplace_back(1, n);
  return net;
}

TEST(Training, IAndLGiveTheWorkedRowsAndTheFirstFiringNeuronWins) {
  Network net = networkOf("IL", {rowWithBlack(kICells), rowWithBlack(kLCells)}, "IL");
  ASSERT_EQ(train(net), Outcome::Done);
  for (size_t i = 0; i < kWeights; ++i) EXPECT_EQ(net.W[0][i], kI[i] - kL[i]) << i;
  EXPECT_EQ(net.W[1], kL);                   // no correction on "I", one on "L"
  EXPECT_EQ(weightedSum(net.W[0], kI), 28);  // and neuron "L" sums 3: both fire, the first wins
  EXPECT_EQ(weightedSum(net.W[1], kI), 3);
  EXPECT_EQ(firstFiringNeuron(net, kI), 0);
  EXPECT_EQ(firstFiringNeuron(net, kL), 1);  // -28 and 31
  net.W[1].fill(0);                          // a sum of 0 never fires, a sum of 1 does
  EXPECT_EQ(firstFiringNeuron(net, kL), -1);
  net.W[1][0] = -1;
  EXPECT_EQ(firstFiringNeuron(net, kL), 1);
}

TEST(Training, StartsRowsZeroToNineteenAfreshButContinuesRowTwentyAndStopsAtSixteenBits) {
  std::vector<SampleRow> rows;
  for (int n = 0; n < kMaxNeurons; ++n) rows.push_back(rowWithBlack({n}));
  Network net = networkOf("abcdefghijklmnopqrstu", rows, "abcdefghijklmnopqrstu");
  ASSERT_EQ(train(net), Outcome::Done);
  const auto first = net.W;
  net.W[3][4] = 9;  // gone again: rows 0 to 19 start from zero
  ASSERT_EQ(train(net), Outcome::Done);
  for (int n = 0; n < kZeroedNeurons; ++n) EXPECT_EQ(net.W[n], first[n]) << n;
  EXPECT_NE(net.W[20], first[20]);
  net.W[20].fill(0);
  net.W[20][1] = net.W[20][21] = 32767;  // s = 0 on "u", whose correction adds 1 to W[20][21]
  const auto before = net.W;
  EXPECT_EQ(train(net), Outcome::Overflow);
  EXPECT_EQ(net.W, before);
}

// What the window shows: painted cells | LBch | Label2 | Label7 | LBNneuroni | List1 | List2,
// the neuron that recognition selected starred.
std::string shown(const FormState& s) {
  std::string text;
  for (int i = 0; i < kCells; ++i) text += s.grid[i] == kBlack ? std::to_string(i) + " " : "";
  text += "|" + s.LBch + "|" + s.Label2 + "|" + s.Label7 + "|" + s.LBNneuroni + "|";
  for (const std::string& label : s.net.sampleLabels) text += label + " ";
  text += "|";
  for (size_t n = 0; n < s.net.neuronLabels.size(); ++n)
    text += s.net.neuronLabels[n] + (static_cast<int>(n) == s.list2Selection ? "* " : " ");
  return text;
}

// Presses the left button over each cell in turn, then types `label`.
FormState& draw(FormState& state, const std::vector<int>& cells, const std::string& label = "") {
  for (int i : cells)
    formMouseDown(state, kLeftButton, 0, float(546 + 372 * (i % 5)), float(306 + 372 * (i / 5)));
  text1Change(state, label);
  return state;
}

TEST(Memo, StoresTheDrawingWithANeuronForEachLabelNoEarlierSampleCarriesUpToTheLimits) {
  FormState state;
  formLoad(state);
  EXPECT_EQ(memo(draw(state, {0, 29})), texts::kTypeCharacter);
  state.Label2 = texts::kRecognised;
  EXPECT_EQ(memo(draw(state, {}, "A")), std::nullopt);
  EXPECT_EQ(state.net.MatM[0], rowWithBlack({0, 29}));
  state.net.neuronLabels.push_back("Z");  // as a loaded file may leave them
  for (const char* label : {"A", "a", "Z"}) memo(draw(state, {}, label));
  EXPECT_EQ(shown(state), "||Assegna:||4|A A a Z |A Z a Z ");
  for (char label = 'b'; label < 'b' + kMaxNeurons - 4; ++label) memo(draw(state, {}, {label}));
  EXPECT_EQ(memo(draw(state, {5}, "?")), texts::kTooManyNeurons);
  EXPECT_EQ(memo(draw(state, {}, "A")), std::nullopt);  // the 22nd sample
  EXPECT_EQ(memo(draw(state, {6}, "a")), texts::kMemoryFull);
  EXPECT_EQ(state.net.MatM[21], rowWithBlack({5}));
  EXPECT_EQ(shown(state).substr(0, 6), "6 |a|A");
}

TEST(TrainingAndRecognition, ShowTheirOutcomeOrSayWhyNot) {
  FormState state;
  formLoad(state);
  EXPECT_EQ(addestra(draw(state, {}, "x")), texts::kNoNeurons);
  for (const auto& [cells, label] : {std::pair{kICells, "I"}, {kLCells, "L"}})
    memo(draw(state, cells, label));
  EXPECT_EQ(visualizza(draw(state, kLCells)), texts::kTrainFirst);
  EXPECT_EQ(addestra(draw(state, {}, "x")), std::nullopt);
  EXPECT_EQ(visualizza(state), std::nullopt);
  EXPECT_EQ(shown(state).substr(28), "|L|Carattere Riconosciuto:|Analisi ...|2|I L |I L* ");
  state.net.W[1].fill(0);
  EXPECT_EQ(visualizza(state), std::nullopt);
  EXPECT_EQ(shown(state).substr(28),
            "|L|Carattere Riconosciuto:|Carattere non riconosciuto|2|I L |I L ");
  state.net.MatM[0].fill(32767);  // as a loaded file may hold
  EXPECT_EQ(addestra(state), texts::kTrainingOverflow);
  state.net.W[0][0] = -32768;
  EXPECT_EQ(visualizza(state), texts::kRecognitionOverflow);
  EXPECT_EQ(state.Label7, texts::kNotRecognised);
}

}  // namespace
}  // namespace segno
