// Every button of the window at the largest sizes, from the click to the end of its handler.
// The window is never shown, so no painting is timed; whatever an iteration needs first
// (a drawing, a label, a file) is set up outside the timed click.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "form1.h"
#include "fullsize.h"
#include "gridcell.h"
#include "samplefile.h"
#include "supplyfile.h"

namespace {

using namespace segno;

// A hidden Form1 driven through its controls; supply.txt is the one beside the benchmark's
// executable, removed at the end. SAVE's question is answered Yes; any other message box
// means the benchmark went wrong.
class Window {
 public:
  Window() {
    form.setMessageBoxHook([this](const QString& text, QMessageBox::StandardButtons buttons) {
      if (buttons.testFlag(QMessageBox::Yes)) return QMessageBox::Yes;
      unexpected << text;
      return QMessageBox::Ok;
    });
  }
  ~Window() { std::remove(path.c_str()); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  template <class Control = QPushButton>
  Control* find(const char* name) {
    return form.findChild<Control*>(QString::fromLatin1(name));
  }

  void click(const char* button) { find(button)->click(); }

  // Writes `net` as supply.txt (rows 0 to 20 and every neuron label), then presses LOAD.
  bool load(const Network& net) {
    const WriteResult text = writeSampleFile(net);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!text.value || !(out << *text.value) || !out.flush()) return false;
    click("Command7");
    return true;
  }

  // CLEAR MATRIX, then a left-button press on every cell to paint.
  void draw(const Grid& grid) {
    click("Command1");
    for (int c = 0; c < kCells; ++c) {
      if (grid[c] != kBlack) continue;
      // The centre of the cell, from twips to pixels (15 twips to the pixel).
      const QPointF at((cellLeft(c) + kCellSize / 2.0) / 15.0,
                       (cellTop(c) + kCellSize / 2.0) / 15.0);
      QMouseEvent press(QEvent::MouseButtonPress, at, form.mapToGlobal(at), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(&form, &press);
    }
  }

  // Types `label` into the empty label box, so that it becomes the current label.
  void type(const std::string& label) {
    auto* box = find<QLineEdit>("Text1");
    box->clear();
    box->setText(QString::fromStdString(label));
  }

  int entries(const char* list) { return find<QListWidget>(list)->count(); }

  int selectedNeuron() {
    const QModelIndexList rows = find<QListWidget>("List2")->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
  }

  QString text(const char* label) { return find<QLabel>(label)->text(); }

  // 22 samples and 21 neurons: a full file loaded, then the 22nd sample stored.
  bool fill() {
    if (!load(bench::fullNetwork())) return false;
    draw(bench::gridOf(bench::drawing(kMaxSamples - 1)));
    type(bench::label(0));
    click("Command5");
    return entries("List1") == kMaxSamples && entries("List2") == kMaxNeurons;
  }

  Form1 form;
  const std::string path = segno::supplyPath().value();
  QStringList unexpected;
};

// Times `button`'s click alone in each iteration; `prepare` runs before it, untimed, and
// `check` tells afterwards whether the click did what it should.
template <class Prepare, class Check>
void timeClicks(benchmark::State& state, Window& window, const char* button, Prepare prepare,
                Check check) {
  QPushButton* target = window.find(button);
  for (auto _ : state) {
    prepare();
    // The program goes back to the event loop between two clicks; so do the benchmarks.
    QCoreApplication::processEvents();
    const auto start = std::chrono::steady_clock::now();
    target->click();
    const auto stop = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    if (!check()) {
      state.SkipWithError("the click did not do its work");
      break;
    }
  }
  if (!window.unexpected.isEmpty())
    state.SkipWithError(("message box: " + window.unexpected.first().toStdString()).c_str());
}

// A full window, a fully painted grid and a current label: everything CLEAR MATRIX empties.
void BM_ClearMatrixClick(benchmark::State& state) {
  Window window;
  if (!window.fill()) return state.SkipWithError("could not fill the window");
  Grid black{};
  black.fill(kBlack);
  timeClicks(
      state, window, "Command1",
      [&] {
        window.draw(black);
        window.type("X");
      },
      [&] {
        return window.text("LBch").isEmpty() && window.find<GridCell>("CH29")->colour() == kWhite;
      });
}
BENCHMARK(BM_ClearMatrixClick)->UseManualTime()->Unit(benchmark::kMicrosecond);

// 21 samples stored under 20 labels; MEMO stores the 22nd under a new one, so it adds the
// 21st neuron too. The 21 samples are loaded again before every click.
void BM_MemoClick(benchmark::State& state) {
  Window window;
  Network stored = bench::fullNetwork();
  stored.sampleLabels.resize(kMaxSamples - 1);
  stored.sampleLabels.back() = bench::label(0);
  stored.neuronLabels.resize(kMaxNeurons - 1);
  const Grid grid = bench::gridOf(bench::drawing(kMaxSamples - 1));
  timeClicks(
      state, window, "Command5",
      [&] {
        window.load(stored);
        window.draw(grid);
        window.type(bench::label(kMaxNeurons - 1));
      },
      [&] {
        return window.entries("List1") == kMaxSamples && window.entries("List2") == kMaxNeurons;
      });
}
BENCHMARK(BM_MemoClick)->UseManualTime()->Unit(benchmark::kMicrosecond);

// 22 samples, 21 neurons. Every click after the first refines neuron 20 from where the last
// one left it (its row is never zeroed), so it corrects a few times more or less than the
// first training; the other 20 neurons repeat the same work.
void BM_AddestraClick(benchmark::State& state) {
  Window window;
  if (!window.fill()) return state.SkipWithError("could not fill the window");
  timeClicks(
      state, window, "Command6", [] {},
      [&] { return window.text("Label7") == QString::fromUtf8(texts::kTrained); });
}
BENCHMARK(BM_AddestraClick)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A trained full window. The grid alternates between a drawing that only the last neuron
// fires on and one that no neuron fires on: every click tests all 21 neurons and changes
// the answer shown.
void BM_RiconosciClick(benchmark::State& state) {
  Window window;
  if (!window.fill()) return state.SkipWithError("could not fill the window");
  window.click("Command6");
  Network trained = bench::fullNetwork();
  train(trained);
  const int16_t last = kMaxNeurons - 1;
  const std::optional<Grid> lastFires = bench::findGrid(trained, last);
  const std::optional<Grid> noneFires = bench::findGrid(trained, -1);
  if (!lastFires || !noneFires) return state.SkipWithError("no suitable drawings");
  bool toLast = false;
  timeClicks(
      state, window, "Command3",
      [&] {
        toLast = !toLast;
        window.draw(toLast ? *lastFires : *noneFires);
      },
      [&] { return window.selectedNeuron() == (toLast ? last : -1); });
}
BENCHMARK(BM_RiconosciClick)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A full window written to supply.txt, the question answered Yes. The file is replaced
// through a temporary file that is synced to disk before the rename, so this times the
// disk too.
void BM_SaveClick(benchmark::State& state) {
  Window window;
  if (!window.fill()) return state.SkipWithError("could not fill the window");
  const char* path = window.path.c_str();
  timeClicks(
      state, window, "Command2", [&] { std::remove(path); },
      [&] { return std::ifstream(path).good(); });
}
BENCHMARK(BM_SaveClick)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Two full files (21 records, 21 neurons) with different labels, loaded in turn, so every
// click empties and refills both lists.
void BM_LoadClick(benchmark::State& state) {
  Window window;
  Network upper = bench::fullNetwork();
  Network lower = upper;
  for (std::string& label : lower.sampleLabels) label[0] = static_cast<char>(label[0] + 'a' - 'A');
  for (std::string& label : lower.neuronLabels) label[0] = static_cast<char>(label[0] + 'a' - 'A');
  const std::string upperText = writeSampleFile(upper).value.value();
  const std::string lowerText = writeSampleFile(lower).value.value();
  bool toUpper = false;
  timeClicks(
      state, window, "Command7",
      [&] {
        toUpper = !toUpper;
        std::ofstream(window.path, std::ios::binary) << (toUpper ? upperText : lowerText);
      },
      [&] {
        return window.entries("List2") == kMaxNeurons &&
               window.find<QListWidget>("List2")->item(0)->text() ==
                   (toUpper ? QStringLiteral("A") : QStringLiteral("a"));
      });
}
BENCHMARK(BM_LoadClick)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
