#include "form1.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "gridcell.h"

namespace {

using Cells = QList<int>;
const Cells kI{2, 7, 12, 17, 22, 27};
const Cells kL{0, 5, 10, 15, 20, 25, 26, 27, 28, 29};

QPointF centreOf(int cell) {
  const qreal half = segno::kCellSize / 2.0;
  return {segno::cellLeft(cell) + half, segno::cellTop(cell) + half};
}

int selectedRow(QListWidget* list) {
  const QList<QListWidgetItem*> items = list->selectedItems();
  return items.isEmpty() ? -1 : list->row(items.first());
}

// A shown Form1 driven as a user would; its message boxes are recorded and answered OK.
struct Window {
  Window() {
    form.setMessageBoxHook([this](const QString& text, QMessageBox::StandardButtons buttons) {
      messages << text;
      return buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
    });
    form.setSupplyPath(folder.filePath("supply.txt"));
    form.show();
  }
  template <class Control = QWidget>
  Control* find(const QString& name) {
    if (auto* control = form.findChild<Control*>(name)) return control;
    qFatal("no control %s", qPrintable(name));
  }
  QString text(const char* label) { return find<QLabel>(label)->text(); }
  QStringList entries(const char* list) {
    QStringList texts;
    for (auto* item : find<QListWidget>(list)->findItems("*", Qt::MatchWildcard))
      texts << item->text();
    return texts;
  }
  Cells painted() {
    Cells cells;
    for (int i = 0; i < segno::kCells; ++i)
      if (find<GridCell>(QStringLiteral("CH%1").arg(i))->colour() == segno::kBlack) cells << i;
    return cells;
  }
  // Delivered where the window system would send it, at a position in twips.
  void mouse(QEvent::Type type, QPointF twips, Qt::MouseButton button, Qt::MouseButtons held,
             Qt::KeyboardModifiers modifiers = {}) {
    const QPointF at = twips / 15.0;
    QWidget* target = form.childAt(at.toPoint()) ? form.childAt(at.toPoint()) : &form;
    QMouseEvent event(type, target->mapFrom(&form, at), form.mapToGlobal(at), button, held,
                      modifiers);
    QApplication::sendEvent(target, &event);
  }
  void press(QPointF twips, Qt::MouseButton button = Qt::LeftButton,
             Qt::KeyboardModifiers modifiers = {}) {
    mouse(QEvent::MouseButtonPress, twips, button, button, modifiers);
    mouse(QEvent::MouseButtonRelease, twips, button, Qt::NoButton, modifiers);
  }
  void draw(const Cells& cells) {  // one left-button stroke
    mouse(QEvent::MouseButtonPress, centreOf(cells.first()), Qt::LeftButton, Qt::LeftButton);
    for (int cell : cells) mouse(QEvent::MouseMove, centreOf(cell), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, centreOf(cells.last()), Qt::LeftButton, Qt::NoButton);
  }
  void type(const QString& character) {  // replaces Text1's one character
    QTest::keyClick(find("Text1"), Qt::Key_Backspace);
    QTest::keyClicks(find("Text1"), character);
  }
  void click(const char* button) { QTest::mouseClick(find(button), Qt::LeftButton); }
  void clickEntry(int row) {
    auto* list = find<QListWidget>("List1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
  }
  void store(const Cells& cells, const QString& label) {
    draw(cells);
    type(label);
    click("Command5");
  }

  // Everything a user can see, for comparing the window before and after an action.
  QStringList shown() {
    QStringList cells;
    for (int cell : painted()) cells << QString::number(cell);
    return {cells.join(' '),
            text("LBch"),
            text("Label2"),
            text("Label7"),
            text("LBNneuroni"),
            entries("List1").join('|'),
            entries("List2").join('|'),
            QString::number(selectedRow(find<QListWidget>("List2")))};
  }
  QByteArray supplyFile() {
    QFile file(folder.filePath("supply.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
  }
  void putSupplyFile(const QByteArray& bytes) {
    QFile file(folder.filePath("supply.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
  }

  QTemporaryDir folder;
  Form1 form;
  QStringList messages;
  QMessageBox::StandardButton answer = QMessageBox::Yes;
};

// A sample file's line for a record or a neuron label.
QByteArray record(const Cells& black, const QByteArray& label) {
  QByteArray line;
  for (int cell = 0; cell < segno::kCells; ++cell) line += black.contains(cell) ? "1," : "-1,";
  return line + '"' + label + "\"\r\n";
}

QByteArray emptyRecords(int count) {
  return QByteArray("0,").repeated(segno::kCells).append("\"\"\r\n").repeated(count);
}

const QByteArray kIAndLFile =
    record(kI, "I") + record(kL, "L") + emptyRecords(19) + "\"I\"\r\n\"L\"\r\n";

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private slots:
  void startsBlankWithFocusOnClearMatrix() {
    Window w;
    QCOMPARE(w.painted(), Cells{});
    QCOMPARE(w.entries("List1") + w.entries("List2"), QStringList());
    QCOMPARE(selectedRow(w.find<QListWidget>("List2")), -1);
    QCOMPARE(w.text("Label2"), "Assegna:");
    QCOMPARE(w.text("LBch") + w.text("Label7") + w.text("LBNneuroni"), QString());
    QCOMPARE(w.find<QLineEdit>("Text1")->text(), QString());
    QCOMPARE(w.form.windowTitle(), "Segno");
    QCOMPARE(w.form.size(), QSize(566, 326));
    QCOMPARE(w.form.focusWidget(), w.find("Command1"));
    QStringList visited;
    for (int step = 0; step < 9; ++step) {
      QTest::keyClick(w.form.focusWidget(), Qt::Key_Tab);
      visited << w.form.focusWidget()->objectName();
    }
    QCOMPARE(visited, QStringList({"Command3", "List1", "List2", "Command2", "Command5", "Command6",
                                   "Command7", "Text1", "Command1"}));
  }

  // Every row starts with cell 12 painted and "A" typed; cell 0 is white.
  void mouseOverGrid() {
    const Qt::MouseButtons left = Qt::LeftButton, right = Qt::RightButton;
    const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
    const QPointF white = centreOf(0), black = centreOf(12);
    struct Row {
      const char* name;
      bool isPress;
      QPointF at;
      Qt::MouseButtons buttons;
      Qt::KeyboardModifiers modifiers;
      Cells painted;
      QString LBch;
      QPointF pressedFirst{-1, -1};  // where the buttons went down before the move
    };
    const Row rows[] = {
        {"left edge", true, {360, 300}, left, none, {12}, "A"},
        {"right edge", true, {2172, 300}, left, none, {12}, "A"},
        {"top edge", true, {1000, 120}, left, none, {12}, "A"},
        {"bottom edge", true, {1000, 2292}, left, none, {12}, "A"},
        {"square 4 hits 3", true, {1820, 300}, left, none, {3, 12}, ""},
        {"past 1848", true, {1850, 300}, left, none, {4, 12}, ""},
        {"square 25 hits 20", true, {500, 1950}, left, none, {12, 20}, ""},
        {"right press paints", true, white, right, none, {0, 12}, ""},
        {"shift press erases", true, black, left, shift, {}, ""},
        {"ctrl press paints", true, white, left, ctrl, {0, 12}, ""},
        {"shift+ctrl press paints", true, white, left, shift | ctrl, {0, 12}, ""},
        {"left move paints", false, white, left, none, {0, 12}, "A"},
        {"ctrl move erases", false, black, left, ctrl, {}, "A"},
        {"left+right move", false, white, left | right, none, {12}, "A"},
        {"right move", false, white, right, none, {12}, "A"},
        {"drag from a label", false, white, left, none, {12}, "A", {500, 2600}},
    };
    for (const Row& row : rows) {
      Window w;
      w.press(centreOf(12));
      w.type("A");
      if (row.isPress)
        w.press(row.at, Qt::MouseButton(row.buttons.toInt()), row.modifiers);
      else {
        if (row.pressedFirst.x() >= 0)
          w.mouse(QEvent::MouseButtonPress, row.pressedFirst, Qt::LeftButton, row.buttons);
        w.mouse(QEvent::MouseMove, row.at, Qt::NoButton, row.buttons, row.modifiers);
      }
      QVERIFY2(w.painted() == row.painted, row.name);
      QVERIFY2(w.text("LBch") == row.LBch, row.name);
    }
  }

  void labelFollowsText1AndIsEmptiedByOperations() {
    Window w;
    QTest::keyClicks(w.find("Text1"), "AB");
    QCOMPARE(w.text("LBch"), "A");
    QTest::keyClick(w.find("Text1"), Qt::Key_Backspace);
    QCOMPARE(w.text("LBch"), "");
    for (const char* emptying : {"Command1", "Command6"}) {
      w.draw({6});
      w.type("C");
      w.click(emptying);
      QCOMPARE(w.text("LBch"), "");
      QCOMPARE(w.find<QLineEdit>("Text1")->text(), "C");
    }
    QCOMPARE(w.painted(), Cells{6});  // CLEAR MATRIX whitened the first stroke only
    QCOMPARE(w.text("Label2"), "Assegna:");
  }

  void refusalsShowTheirMessagesAndChangeNothing() {
    Window w;
    w.draw({6});
    for (const char* button : {"Command5", "Command6", "Command3", "Command2"}) w.click(button);
    QCOMPARE(w.messages, QStringList({"Digitare il carattere da Apprendere",
                                      "E' effettuare inserire almeno un carattere!",
                                      "E' necessario prima addestrare la rete!"}));
    QCOMPARE(w.painted(), Cells{6});
    QCOMPARE(w.entries("List1"), QStringList());
  }

  void realMessageBoxHasNoIconAndProgramTitle() {
    struct Seen {
      QString title, text;
      QMessageBox::Icon icon;
      QMessageBox::StandardButtons buttons;
      QMessageBox::StandardButton byDefault;
    };
    QList<Seen> seen;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      seen.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                   box->standardButton(box->defaultButton())});
      box->button(seen.size() == 1 ? QMessageBox::Ok : QMessageBox::No)->click();
    });
    poll.start(10);
    Form1 form;
    QTest::mouseClick(form.findChild<QPushButton*>("Command5"), Qt::LeftButton);
    QCOMPARE(form.messageBox("Aggiornare supply.txt?", QMessageBox::Yes | QMessageBox::No),
             QMessageBox::No);
    QCOMPARE(seen.size(), 2);
    for (const Seen& box : seen) {
      QCOMPARE(box.title, "Segno");
      QCOMPARE(box.icon, QMessageBox::NoIcon);
    }
    QCOMPARE(seen[0].text, "Digitare il carattere da Apprendere");
    QCOMPARE(seen[0].buttons, QMessageBox::Ok);
    QCOMPARE(seen[1].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(seen[1].byDefault, QMessageBox::Yes);
  }

  void pickingSampleShowsIt() {
    Window w;
    w.store(kI, "I");
    w.store(kL, "L");
    for (int pass = 0; pass < 2; ++pass) {  // the second click is on the entry already selected
      w.draw({4});
      w.type("X");
      w.clickEntry(0);
      QCOMPARE(w.painted(), kI);
      QCOMPARE(w.text("LBch"), "");
    }
    QTest::keyClick(w.find("List1"), Qt::Key_Down);
    QCOMPARE(w.painted(), kL);
    // Entries the program adds show nothing, though an entry stays selected.
    w.store({1, 3}, "V");
    QCOMPARE(selectedRow(w.find<QListWidget>("List1")), 1);
    QCOMPARE(w.painted(), Cells{});
  }

  void drawStoreTrainAndRecognise() {
    Window w;
    w.store(kI, "I");
    QCOMPARE(w.text("LBNneuroni"), "1");
    w.store(kL, "L");
    QCOMPARE(w.entries("List1"), QStringList({"I", "L"}));
    QCOMPARE(w.entries("List2"), QStringList({"I", "L"}));
    QCOMPARE(w.text("LBNneuroni"), "2");
    w.click("Command6");
    QCOMPARE(w.text("Label7"), "Addestramento Neuroni completato");
    w.draw(kI);
    w.click("Command3");
    QCOMPARE(w.text("LBch"), "I");
    QCOMPARE(w.text("Label2"), "Carattere Riconosciuto:");
    QCOMPARE(w.text("Label7"), "Analisi ...");
    QCOMPARE(selectedRow(w.find<QListWidget>("List2")), 0);
    QCOMPARE(w.messages, QStringList());
    const QPoint middleOf12 = (centreOf(12) / 15.0).toPoint();
    QCOMPARE(w.form.grab().toImage().pixelColor(middleOf12), QColor(Qt::black));
  }

  void saveWritesTheSamplesAfterYesOnly() {
    Window w;
    w.click("Command2");  // no neuron yet: no question, no file
    QCOMPARE(w.messages, QStringList());
    w.store(kI, "I");
    w.store(kL, "L");
    w.answer = QMessageBox::No;
    w.click("Command2");
    QCOMPARE(w.supplyFile(), QByteArray("(none)"));
    w.answer = QMessageBox::Yes;
    w.click("Command2");
    QCOMPARE(w.messages, QStringList({"Aggiornare supply.txt?", "Aggiornare supply.txt?"}));
    QCOMPARE(w.supplyFile(), kIAndLFile);
  }

  void loadReplacesTheListsAndKeepsTheTraining() {
    Window w;
    w.store(kI, "I");
    w.store(kL, "L");
    w.click("Command6");
    w.putSupplyFile(kIAndLFile.left(kIAndLFile.size() - 10) + "\"L\"\r\n\"I\"\r\n");
    w.clickEntry(1);
    w.click("Command1");
    w.draw({3});
    w.type("Q");
    w.click("Command7");
    QCOMPARE(selectedRow(w.find<QListWidget>("List1")), -1);
    QCOMPARE(w.shown(), QStringList({"3", "Q", "Assegna:", "Addestramento Neuroni completato", "2",
                                     "I|L", "L|I", "-1"}));
    // The old weights answer by position: the first neuron, trained on "I", is now "L".
    w.draw(kI);
    w.click("Command3");
    QCOMPARE(w.text("LBch"), "L");
    w.clickEntry(1);
    QCOMPARE(w.painted(), kL);
    QCOMPARE(w.messages, QStringList());
  }

  void failedLoadSaysWhyAndLeavesTheWindowAsItWas() {
    Window w;
    w.store(kI, "I");
    w.click("Command6");
    w.draw(kI);
    w.click("Command3");
    const QStringList before = w.shown();
    w.putSupplyFile(record(kI, "I") + "1,2,x\r\n");
    w.click("Command7");
    QCOMPARE(w.messages,
             QStringList{"Impossibile caricare supply.txt: valore non valido (record 2, campo 3)"});
    QCOMPARE(w.shown(), before);
    w.click("Command3");
    QCOMPARE(w.shown(), before);
  }

  void loadedFilesReachTheNetworkLimitsSafely() {
    Window w;
    w.putSupplyFile(emptyRecords(21) + "\"A\"\r\n");  // a neuron with no sample
    w.click("Command7");
    w.click("Command6");
    QCOMPARE(w.text("Label7"), "Addestramento Neuroni completato");

    Window big;
    big.putSupplyFile(QByteArray("32767,").repeated(segno::kCells) + "\"A\"\r\n" +
                      emptyRecords(20) + "\"A\"\r\n");
    big.click("Command7");
    big.click("Command6");
    QCOMPARE(big.messages, QStringList{"Addestramento interrotto: peso oltre i 16 bit"});
    QCOMPARE(big.text("Label7"), "");
  }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
