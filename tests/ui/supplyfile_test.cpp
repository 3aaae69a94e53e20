#include "supplyfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <optional>
#include <tuple>

#include "samplefile.h"

namespace segno {
namespace {

const QByteArray kOldFile = "the file as it was before\r\n";

// A file whose write or rename step fails, the way a full disk or a refused rename would.
class FailingSupplyFile : public SupplyFile {
 public:
  enum class Step { None, Write, Commit };
  FailingSupplyFile(const QString& path, Step failing) : SupplyFile(path), failing_(failing) {}

 protected:
  bool write(QSaveFile& out, const QByteArray& bytes) const override {
    if (failing_ != Step::Write) return SupplyFile::write(out, bytes);
    out.write(bytes.left(bytes.size() / 2));
    return false;
  }
  bool commit(QSaveFile& out) const override {
    return failing_ != Step::Commit && SupplyFile::commit(out);
  }

 private:
  Step failing_;
};

auto everything(const FormState& s) {
  return std::tie(s.net.sampleLabels, s.net.MatM, s.net.neuronLabels, s.net.W, s.net.eta, s.grid,
                  s.LBch, s.Label2, s.Label7, s.LBNneuroni, s.list2Selection);
}

FormState trainedState() {
  FormState state;
  state.net.sampleLabels = {"I", "L"};
  state.net.MatM[0].fill(1);
  state.net.MatM[1].fill(-1);
  state.net.neuronLabels = {"I", "L"};
  state.net.W[0][0] = 3;
  state.Label7 = texts::kTrained;
  state.LBNneuroni = "2";
  state.list2Selection = 1;
  return state;
}

QByteArray contentOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void putFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList entriesOf(const QTemporaryDir& dir) {
  return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(SupplyFile, FailedLoadSaysWhyAndChangesNothing) {
  std::string records;
  for (int r = 0; r < kFileRecords; ++r) records += std::string(kCells, ',') + "\"\"\r\n";
  struct Row {
    const char* name;
    std::optional<QByteArray> content;
    std::string reason;
  };
  const Row rows[] = {
      {"missing", std::nullopt, "file mancante o illeggibile"},
      {"short", QByteArray("1,2,3\r\n"), "file incompleto (record 1, campo 4)"},
      {"bad value", QByteArray::fromStdString("x" + records),
       "valore non valido (record 1, campo 1)"},
      {"22 neuron labels", QByteArray::fromStdString(records) + QByteArray(22, ','),
       "più di 21 neuroni"},
      {"too large", QByteArray(static_cast<qsizetype>(kMaxFileBytes) + 1, ' '),
       "file troppo grande"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QTemporaryDir dir;
    const QString path = dir.filePath("supply.txt");
    if (row.content) putFile(path, *row.content);
    FormState state = trainedState();
    EXPECT_EQ(loadSupply(state, SupplyFile(path)),
              "Impossibile caricare supply.txt: " + row.reason);
    EXPECT_TRUE(everything(state) == everything(trainedState()));
  }
}

TEST(SupplyFile, SaveReplacesTheFileWithTheExactText) {
  QTemporaryDir dir;
  const QString path = dir.filePath("supply.txt");
  putFile(path, QByteArray(5000, 'x'));
  EXPECT_EQ(saveSupply(trainedState(), SupplyFile(path)), std::nullopt);
  EXPECT_EQ(contentOf(path).toStdString(), *writeSampleFile(trainedState().net).bytes);
  EXPECT_EQ(entriesOf(dir), QStringList{"supply.txt"});
}

TEST(SupplyFile, FailedSaveLeavesTheOldFileAndNoTemporary) {
  using Step = FailingSupplyFile::Step;
  struct Row {
    const char* name;
    Step failing;
    const char* folder;  // relative to the temporary folder
    const char* label;
    std::string reason;
  };
  const Row rows[] = {
      {"write fails", Step::Write, ".", "I", "scrittura non riuscita"},
      {"rename fails", Step::Commit, ".", "I", "sostituzione del file non riuscita"},
      {"folder missing", Step::None, "missing", "I", "cartella non scrivibile"},
      {"unrepresentable label", Step::None, ".", "Ω", "il carattere «Ω» non è rappresentabile"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QTemporaryDir dir;
    putFile(dir.filePath("supply.txt"), kOldFile);
    FormState state = trainedState();
    state.net.neuronLabels[0] = row.label;
    const FailingSupplyFile file(dir.filePath(row.folder) + "/supply.txt", row.failing);
    EXPECT_EQ(saveSupply(state, file), "Impossibile salvare supply.txt: " + row.reason);
    EXPECT_EQ(contentOf(dir.filePath("supply.txt")), kOldFile);
    EXPECT_EQ(entriesOf(dir), QStringList{"supply.txt"});
  }
}

}  // namespace
}  // namespace segno
