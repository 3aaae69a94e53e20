// The window's state and the network beneath it: drawing, storing, training, recognising.
#include "formstate.h"

#include <gtest/gtest.h>

using namespace segno;

namespace {

const std::vector<int> kI{2, 7, 12, 17, 22, 27};
const std::vector<int> kL{0, 5, 10, 15, 20, 25, 26, 27, 28, 29};
using Texts = std::vector<std::string>;

// Presses the left button over each cell in turn, then types `label`.
FormState& draw(FormState& state, const std::vector<int>& cells, const std::string& label = "") {
  for (const int i : cells)
    formMouseDown(state, kLeftButton, 0, float(hitCentreX(i)), float(hitCentreY(i)));
  text1Change(state, label);
  return state;
}

// LBch, the three captions and the neuron List2 selects, as the window shows them.
std::vector<std::string> labels(const FormState& state) {
  const Captions shown = captions(state);
  const int selected = state.list2Selection;
  const std::string neuron = selected < 0 ? "none" : state.net.neuronLabels.at(size_t(selected));
  return {state.LBch, shown.Label2, shown.Label7, shown.LBNneuroni, neuron};
}

}  // namespace

TEST(Training, IAndLGiveTheWorkedRowsAndRecognitionShowsTheFirstNeuronThatFires) {
  FormState state;
  formLoad(state);
  ASSERT_TRUE(memo(draw(state, kI, "I")).ok());
  ASSERT_TRUE(memo(draw(state, kL, "L")).ok());
  ASSERT_TRUE(addestra(state).ok());
  EXPECT_EQ(labels(state),
            (Texts{"", "Assegna:", "Addestramento Neuroni completato", "2", "none"}));
  const Input i = inputFromRow(state.net.MatM[0]);
  const Input l = inputFromRow(state.net.MatM[1]);
  for (size_t w = 0; w < kWeights; ++w) EXPECT_EQ(state.net.W[0][w], i[w] - l[w]) << w;
  EXPECT_EQ(state.net.W[1], l);  // no correction on "I", one on "L"
  EXPECT_EQ(weightedSum(state.net.W[1], i), 3);
  EXPECT_EQ(firstFiringNeuron(state.net, i).value(), 0);  // both fire: the first wins
  ASSERT_TRUE(visualizza(draw(state, kL)).ok());          // -28 and 31
  EXPECT_EQ(labels(state), (Texts{"L", "Carattere Riconosciuto:", "Analisi ...", "2", "L"}));
  state.net.W[1].fill(0);  // a sum of 0 never fires
  ASSERT_TRUE(visualizza(state).ok());
  EXPECT_EQ(labels(state),
            (Texts{"L", "Carattere Riconosciuto:", "Carattere non riconosciuto", "2", "none"}));
  ASSERT_TRUE(memo(state).ok());  // "L" again: no new neuron, and a label is asked for again
  EXPECT_EQ(labels(state), (Texts{"", "Assegna:", "Carattere non riconosciuto", "2", "none"}));
  const WeightRow trainedI = state.net.W[0];
  state.net.W[0].fill(1);
  ASSERT_TRUE(addestra(state).ok());  // starts afresh, and says so again after a recognition
  EXPECT_EQ(state.net.W[0], trainedI);
  EXPECT_EQ(captions(state).Label7, "Addestramento Neuroni completato");
}

TEST(Memo, StoresTheDrawingWithANeuronForEachLabelNoEarlierSampleCarriesUpToTheLimits) {
  FormState state;
  formLoad(state);
  EXPECT_EQ(memo(draw(state, {0, 29})).reason(), "Digitare il carattere da Apprendere");
  EXPECT_EQ(addestra(draw(state, {}, "x")).reason(), "E' effettuare inserire almeno un carattere!");
  EXPECT_EQ(labels(state), (Texts{"", "Assegna:", "", "", "none"}));  // LBch emptied
  EXPECT_EQ(visualizza(state).reason(), "E' necessario prima addestrare la rete!");
  state.net.neuronLabels.push_back("Z");  // as a loaded file may leave them
  for (const char* label : {"A", "A", "a", "Z"}) ASSERT_TRUE(memo(draw(state, {}, label)).ok());
  EXPECT_EQ(state.net.neuronLabels, (std::vector<std::string>{"Z", "A", "a", "Z"}));
  for (char c = 'b'; c <= 'r'; ++c) ASSERT_TRUE(memo(draw(state, {}, {c})).ok());  // 21 neurons
  EXPECT_EQ(memo(draw(state, {5}, "?")).reason(), "Troppi caratteri: al massimo 21 neuroni");
  ASSERT_TRUE(memo(draw(state, {}, "A")).ok());  // the 22nd sample
  EXPECT_EQ(memo(draw(state, {6}, "a")).reason(), "Memoria piena: al massimo 22 campioni");
  EXPECT_EQ(state.LBch, "a");
  EXPECT_EQ(state.grid[6], kBlack);  // the refused drawing stays
}

TEST(LabelBox, KeepsOneCharacterAsIfTyped) {
  // What the edit was, the box's characters before and after it with the cursor after
  // `cursor` of them, then what the box keeps.
  const std::tuple<const char*, Characters, Characters, size_t, Characters> edits[] = {
      {"typed into the empty box", {}, {"é"}, 1, {"é"}},
      {"a second one typed before", {"a"}, {"b", "a"}, 1, {"a"}},
      {"of its first line", {}, {"A", "\r\n", "B"}, 3, {"A"}},
      {"an empty first line", {}, {"\n", "A"}, 2, {}}};
  for (const auto& [name, before, after, cursor, kept] : edits)
    EXPECT_EQ(labelBoxText(before, after, cursor), kept) << name;
}
