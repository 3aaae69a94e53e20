#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <utility>

#include "formstate.h"

class QSaveFile;

namespace segno {

// supply.txt in the real folder of the executable (symbolic links resolved).
QString supplyPath();

// The sample file on disk. Writing and committing are virtual steps so that tests can make
// either fail where permissions cannot.
class SupplyFile {
 public:
  explicit SupplyFile(QString path) : path_(std::move(path)) {}
  virtual ~SupplyFile() = default;

  const QString& path() const { return path_; }

  // The file's first kMaxFileBytes + 1 bytes (enough to tell that it is too large), or
  // nullopt when it is missing or cannot be read.
  std::optional<QByteArray> read() const;

  // Replaces the file with `bytes` through a synced temporary file in the same folder and
  // one atomic rename. A short reason on failure; the old file and the folder then stay as
  // they were.
  std::optional<std::string> replace(const QByteArray& bytes) const;

 protected:
  // Puts all of `bytes` into the temporary file; false when they did not all get there.
  virtual bool write(QSaveFile& out, const QByteArray& bytes) const;
  // Syncs the temporary file and renames it over the old one; false when that failed.
  virtual bool commit(QSaveFile& out) const;

 private:
  QString path_;
};

// LOAD: reads, parses and applies `file`. On failure returns "Impossibile caricare
// supply.txt: " and the reason, with `state` untouched.
Notice loadSupply(FormState& state, const SupplyFile& file);

// SAVE, once canSave(state) holds and the user said Yes: writes the samples and neuron labels
// to `file`. On failure returns "Impossibile salvare supply.txt: " and the reason, with the
// old file untouched.
Notice saveSupply(const FormState& state, const SupplyFile& file);

}  // namespace segno
