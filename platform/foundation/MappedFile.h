#pragma once
#include <QByteArray>
#include <QString>

namespace ox {

// A file's bytes mapped read-only into memory, so that a large file costs no copy and no more than the pages that
// are looked at. Tells apart what is not there, what is there but cannot be read now (permissions, an I/O error,
// no room to map it: the file may be whole), and what cannot hold data at all (a folder, a dangling link).
class MappedFile {
 public:
  enum class Status { Missing, Mapped, Unreadable, NotAFile };

  explicit MappedFile(const QString& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  Status status() const { return status_; }
  // The file's bytes, valid while this object lives; empty unless mapped (an empty file maps to nothing).
  QByteArray bytes() const;
  qint64 size() const { return size_; }
  // Why the file is not mapped, as the system said it.
  QString error() const { return error_; }
  // Ends the mapping early; bytes() is empty afterwards.
  void close();

 private:
  Status status_ = Status::Missing;
  void* map_ = nullptr;
  qint64 size_ = 0;
  QString error_;
};

}  // namespace ox
