#include "formstate.h"

#include <gtest/gtest.h>

using namespace segno;

namespace {

using Labels = std::vector<std::string>;

std::vector<int> painted(const FormState& state) {
  std::vector<int> cells;
  for (int i = 0; i < kCells; ++i)
    if (state.grid[i] == kBlack) cells.push_back(i);
  return cells;
}

// Sends a press or a move to the middle of the area that the hit-test gives to cell i.
void mouse(FormState& state, bool press, int16_t button, int16_t shift, int i) {
  const auto column = static_cast<float>(i % kGridCols);
  const auto row = static_cast<float>(i / kGridCols);  // NOLINT(bugprone-integer-division)
  (press ? formMouseDown : formMouseMove)(state, button, shift, 546 + 372 * column,
                                          306 + 372 * row);
}

// Presses the left button over each cell in turn, then types `label`.
FormState& draw(FormState& state, const std::vector<int>& cells, const std::string& label = "") {
  for (const int i : cells) mouse(state, true, kLeftButton, 0, i);
  text1Change(state, label);
  return state;
}

}  // namespace

TEST(Mouse, APressActsWithAnyButtonAMoveWithTheLeftAlone) {
  const struct {
    bool press;
    int16_t button, shift;
    char action;  // Paint, Erase, or - for nothing
  } cases[] = {{true, 1, 0, 'P'},  {true, 2, 0, 'P'},  {true, 4, 0, 'P'},  {true, 1, 1, 'E'},
               {true, 2, 1, 'E'},  {true, 1, 2, 'P'},  {true, 1, 3, 'P'},  {true, 1, 4, 'P'},
               {false, 1, 0, 'P'}, {false, 1, 1, 'E'}, {false, 1, 2, 'E'}, {false, 1, 3, 'E'},
               {false, 1, 4, 'E'}, {false, 2, 0, '-'}, {false, 3, 0, '-'}, {false, 0, 0, '-'}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.press ? "press" : "move") << ", button " << c.button
                                    << ", shift " << c.shift);
    FormState state;
    state.grid.fill(kWhite);
    // A cell that the action changes, and that any other write would change too.
    state.grid[12] = c.action == 'P' ? kWhite : c.action == 'E' ? kBlack : 0x808080;
    state.LBch = "A";
    Grid expected = state.grid;
    expected[12] = c.action == 'P' ? kBlack : c.action == 'E' ? kWhite : 0x808080;
    mouse(state, c.press, c.button, c.shift, 12);
    EXPECT_EQ(state.grid, expected);
    EXPECT_EQ(state.LBch, c.press ? "" : "A");
  }
}

TEST(LabelBox, TakesAnEditAsIfTypedAndHoldsOneCharacter) {
  const struct {
    const char *name, *before, *after;
    size_t cursor;
    const char* kept;
  } cases[] = {{"typed into the empty box", "", "A", 1, "A"},
               {"a paste of three", "", "ABC", 3, "A"},
               {"a paste over the selected one", "A", "BC", 2, "B"},
               {"a line with its end", "", "A\r\n", 3, "A"},
               {"a combining accent after its letter", "", "e\u0301", 3, "e"},
               {"a character after an emoji", "😀", "😀a", 5, "😀"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(labelBoxText(c.before, c.after, c.cursor), c.kept);
  }
}

TEST(Memo, StoresTheDrawingWithANeuronForEachLabelNoEarlierSampleCarriesUpToTheLimits) {
  FormState state;
  formLoad(state);
  EXPECT_EQ(memo(draw(state, {0, 29})).reason(), "Digitare il carattere da Apprendere");
  state.Label2 = texts::kRecognised;
  ASSERT_TRUE(memo(draw(state, {}, "A")).ok());
  list1Click(state, 0);
  EXPECT_EQ(painted(state), (std::vector<int>{0, 29}));
  state.net.neuronLabels.push_back("Z");  // as a loaded file may leave them
  for (const char* label : {"A", "a", "Z"}) ASSERT_TRUE(memo(draw(state, {}, label)).ok());
  EXPECT_EQ(state.net.sampleLabels, (Labels{"A", "A", "a", "Z"}));
  EXPECT_EQ(state.net.neuronLabels, (Labels{"A", "Z", "a", "Z"}));
  EXPECT_EQ(std::tie(state.LBNneuroni, state.Label2, state.LBch), std::tuple("4", "Assegna:", ""));
  for (int n = 0; n < kMaxNeurons - 4; ++n)
    ASSERT_TRUE(memo(draw(state, {}, {static_cast<char>('b' + n)})).ok());
  EXPECT_EQ(memo(draw(state, {5}, "?")).reason(), "Troppi caratteri: al massimo 21 neuroni");
  ASSERT_TRUE(memo(draw(state, {}, "A")).ok());  // the 22nd sample
  EXPECT_EQ(memo(draw(state, {6}, "a")).reason(), "Memoria piena: al massimo 22 campioni");
  EXPECT_EQ(state.LBch, "a");
  EXPECT_EQ(painted(state), std::vector<int>{6});
  list1Click(state, 21);
  EXPECT_EQ(painted(state), std::vector<int>{5});
}

TEST(TrainingAndRecognition, ShowTheirOutcomeOrSayWhyNot) {
  const std::vector<int> I{2, 7, 12, 17, 22, 27}, L{0, 5, 10, 15, 20, 25, 26, 27, 28, 29};
  FormState state;
  formLoad(state);
  EXPECT_EQ(addestra(draw(state, {}, "x")).reason(), "E' effettuare inserire almeno un carattere!");
  ASSERT_TRUE(memo(draw(state, I, "I")).ok() && memo(draw(state, L, "L")).ok());
  EXPECT_EQ(visualizza(draw(state, L)).reason(), "E' necessario prima addestrare la rete!");
  ASSERT_TRUE(addestra(draw(state, {}, "x")).ok());
  ASSERT_TRUE(visualizza(state).ok());
  EXPECT_EQ(std::tie(state.LBch, state.Label2, state.Label7, state.list2Selection),
            std::tuple("L", "Carattere Riconosciuto:", "Analisi ...", 1));
  EXPECT_EQ(painted(state), L);
  state.net.W[1].fill(0);
  ASSERT_TRUE(visualizza(state).ok());
  EXPECT_EQ(std::tie(state.LBch, state.Label2, state.Label7, state.list2Selection),
            std::tuple("L", "Carattere Riconosciuto:", "Carattere non riconosciuto", -1));
  state.net.MatM[0].fill(32767);  // as a loaded file may hold
  EXPECT_FALSE(addestra(state).ok());
  EXPECT_EQ(state.Label7, "Carattere non riconosciuto");
}
