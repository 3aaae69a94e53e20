#include "form1.h"

#include <sys/stat.h>

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QtTest>
#include <filesystem>

#include "gridcell.h"
#include "supplyfile.h"

// Form1 driven through real events as a user would; message boxes are recorded and answered.
class Form1Test : public QObject {
  Q_OBJECT

  Form1 form;
  QStringList messages;
  QMessageBox::StandardButton answer = QMessageBox::No;
  QFile supply{QString::fromStdString(segno::supplyPath().value())};

  // Painted cells | LBch | Label7 | List1 | List2, a list's selected entry starred.
  QString shown() {
    QStringList parts{""};
    for (auto* cell : form.findChildren<GridCell*>())
      parts[0] += cell->colour() == segno::kBlack ? cell->objectName().mid(2) + " " : "";
    parts << form.findChild<QLabel*>("LBch")->text() << form.findChild<QLabel*>("Label7")->text();
    for (const char* list : {"List1", "List2"}) {
      parts << "";
      for (auto* item : form.findChild<QListWidget*>(list)->findItems("*", Qt::MatchWildcard))
        parts.last() += item->text() + (item->isSelected() ? "* " : " ");
    }
    return parts.join('|');
  }
  // Sent where the window system sends it, at a point in pixels (15 twips each).
  void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held, Qt::KeyboardModifiers keys = {}) {
    QWidget* target = form.childAt(at) ? form.childAt(at) : &form;
    const auto button = type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButton(held.toInt());
    QMouseEvent event(type, target->mapFrom(&form, QPointF(at)), form.mapToGlobal(QPointF(at)),
                      button, held, keys);
    QApplication::sendEvent(target, &event);
  }
  static QPoint cell(int i) { return {(546 + 372 * (i % 5)) / 15, (306 + 372 * (i / 5)) / 15}; }
  void type(const QString& text) {  // one keystroke, as typed, over what the box held
    QTest::keyClick(form.findChild<QWidget*>("Text1"), Qt::Key_Backspace);
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(form.findChild<QWidget*>("Text1"), &key);
  }
  void click(const char* b) { QTest::mouseClick(form.findChild<QWidget*>(b), Qt::LeftButton); }
  void draw(const QList<int>& cells) {
    for (int i : cells) mouse(QEvent::MouseButtonPress, cell(i), Qt::LeftButton);
  }
  void store(const QList<int>& cells, const QString& label) {
    draw(cells);
    type(label);
    click("Command5");
  }
  void pick(int entry) {
    auto* list = form.findChild<QListWidget*>("List1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(entry)).center());
  }

 private slots:
  void initTestCase() {
    form.setMessageBoxHook([this](const QString& text, QMessageBox::StandardButtons buttons) {
      messages << text;
      return buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
    });
    form.show();
    supply.remove();
    umask(022);
  }

  void eachControlReachesItsOperation() {
    mouse(QEvent::MouseButtonPress, cell(2), Qt::RightButton);
    for (int i : {7, 12}) mouse(QEvent::MouseMove, cell(i), Qt::LeftButton);
    mouse(QEvent::MouseMove, cell(0), Qt::LeftButton | Qt::MiddleButton);
    mouse(QEvent::MouseButtonPress, cell(1), Qt::LeftButton, Qt::ShiftModifier | Qt::AltModifier);
    QCOMPARE(shown(), "1 2 7 12 ||||");
    mouse(QEvent::MouseMove, cell(1), Qt::LeftButton, Qt::ControlModifier);
    mouse(QEvent::MouseButtonPress, {30, 175}, Qt::LeftButton);  // on the label "Carattere:"
    mouse(QEvent::MouseMove, cell(6), Qt::LeftButton);           // belongs to the label
    click("Command5");                                           // no label yet
    type("I");
    QCOMPARE(shown(), "2 7 12 |I|||");
    click("Command5");
    click("Command2");  // answered No
    QVERIFY(!supply.exists());
    store({0}, "L");
    click("Command6");
    draw({2, 7, 12});
    click("Command3");
    QCOMPARE(shown(), "2 7 12 |I|Analisi ...|I L |I* L ");
    QCOMPARE(form.grab().toImage().pixelColor(cell(0)), Qt::white);
    answer = QMessageBox::Yes;
    click("Command2");
    const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    QCOMPARE(supply.permissions(), owner | QFile::ReadGroup | QFile::ReadOther);
    supply.setPermissions(owner);
    click("Command2");  // replacing the file keeps its permissions
    QCOMPARE(supply.permissions(), owner);
    store({4}, "V");
    for (int pass = 0; pass < 2; ++pass) {  // the second click is on the entry already chosen
      draw({4});
      pick(1);
      QCOMPARE(shown(), "0 ||Analisi ...|I L* V |I* L V ");
    }
    click("Command7");
    QCOMPARE(shown(), "0 ||Analisi ...|I L |I L ");
    QTest::keyClick(form.findChild<QWidget*>("List1"), Qt::Key_Down);
    store({}, "W");  // an entry the program adds shows nothing
    QCOMPARE(shown(), "||Analisi ...|I* L W |I L W ");
    draw({3});
    click("Command1");
    QCOMPARE(shown(), "||Analisi ...|I* L W |I L W ");
    QCOMPARE(messages, QStringList({"Digitare il carattere da Apprendere", "Aggiornare supply.txt?",
                                    "Aggiornare supply.txt?", "Aggiornare supply.txt?"}));
  }

  void refusedFilesLeaveEverythingAsItWas() {
    const QString before = shown();
    supply.remove();
    mkfifo(supply.fileName().toLocal8Bit(), 0600);
    click("Command7");  // without ever waiting for a writer
    supply.remove();
    QDir().mkpath(supply.fileName() + "/kept");
    click("Command7");
    click("Command2");
    QDir(supply.fileName()).removeRecursively();
    QVERIFY(supply.open(QIODevice::WriteOnly) && supply.write(QByteArray((1 << 20) + 1, ' ')));
    supply.close();
    click("Command7");
    QCOMPARE(shown(), before);
    QCOMPARE(messages.mid(4),
             QStringList({"Impossibile caricare supply.txt: non è un file regolare",
                          "Impossibile caricare supply.txt: non è un file regolare",
                          "Aggiornare supply.txt?",
                          "Impossibile salvare supply.txt: supply.txt è una cartella",
                          "Impossibile caricare supply.txt: file troppo grande"}));
  }

  void aCharacterIsNeverSplit() {
    type("😀");
    QTest::keyClicks(form.findChild<QWidget*>("Text1"), "a");
    click("Command5");
    QCOMPARE(shown(), "||Analisi ...|I* L W 😀 |I L W 😀 ");
    click("Command2");
    QCOMPARE(messages.last(),
             "Impossibile salvare supply.txt: il carattere «😀» non è rappresentabile");
  }

  void supplyTxtIsBesideTheProgramNamedByItsBytesOrNowhere() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/bad\xffname";
    std::filesystem::create_symlink(folder + "/segno", dir.filePath("segno").toStdString());
    QVERIFY(segno::supplyPath(dir.filePath("segno").toLocal8Bit()) == folder + "/supply.txt");
    QVERIFY(!segno::supplyPath(dir.filePath("none").toLocal8Bit()));  // no link, no folder
    QCOMPARE(segno::saveSupply(segno::FormState{}, std::nullopt),
             "Impossibile salvare supply.txt: cartella del programma non trovata");
  }
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
