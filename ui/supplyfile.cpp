#include "supplyfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "samplefile.h"
#include "texts.h"

namespace segno {

QString supplyPath() {
  const QString real = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
  // An executable removed while running has no real path left; its recorded folder is next best.
  const QString folder =
      real.isEmpty() ? QCoreApplication::applicationDirPath() : QFileInfo(real).path();
  return QDir::toNativeSeparators(folder) + QDir::separator() + QStringLiteral("supply.txt");
}

std::optional<QByteArray> SupplyFile::read() const {
  QFile in(path_);
  if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
  constexpr auto kLimit = static_cast<qint64>(kMaxFileBytes) + 1;
  QByteArray bytes;
  while (bytes.size() < kLimit) {
    const QByteArray chunk = in.read(kLimit - bytes.size());
    if (chunk.isEmpty()) break;
    bytes += chunk;
  }
  if (in.error() != QFileDevice::NoError) return std::nullopt;
  return bytes;
}

std::optional<std::string> SupplyFile::replace(const QByteArray& bytes) const {
  QSaveFile out(path_);
  if (!out.open(QIODevice::WriteOnly)) return texts::kFolderNotWritable;
  // Leaving `out` uncommitted discards the temporary file.
  if (!write(out, bytes)) return texts::kWriteFailed;
  if (!commit(out)) return texts::kReplaceFailed;
  return std::nullopt;
}

bool SupplyFile::write(QSaveFile& out, const QByteArray& bytes) const {
  // Flushing here lets a full disk show as a failed write rather than a failed rename.
  return out.write(bytes) == bytes.size() && out.flush();
}

// QSaveFile::commit syncs the temporary file to disk before renaming it over the old one.
bool SupplyFile::commit(QSaveFile& out) const {
  return out.commit();
}

Notice loadSupply(FormState& state, const SupplyFile& file) {
  const std::optional<QByteArray> bytes = file.read();
  if (!bytes) return std::string(texts::kCannotLoad) + texts::kFileUnreadable;
  const ReadResult read =
      readSampleFile(std::string_view(bytes->constData(), static_cast<size_t>(bytes->size())));
  if (!read.file) return texts::kCannotLoad + read.reason;
  applySampleFile(state, *read.file);
  return std::nullopt;
}

Notice saveSupply(const FormState& state, const SupplyFile& file) {
  const WriteResult text = writeSampleFile(state.net);
  if (!text.bytes) return texts::kCannotSave + text.reason;
  if (auto reason = file.replace(QByteArray::fromStdString(*text.bytes)))
    return texts::kCannotSave + *reason;
  return std::nullopt;
}

}  // namespace segno
