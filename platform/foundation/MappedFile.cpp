#include "platform/foundation/MappedFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ox {

namespace {

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Reads the whole file once through a small buffer. An I/O error shows here as an error; met in a mapped page it
// would end the process.
bool readThrough(int fd, qint64 size, QString& error) {
  constexpr size_t kChunk = size_t(1) << 20;
  const std::unique_ptr<char[]> buffer(new char[kChunk]);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  for (qint64 done = 0; done < size;) {
    // Holes hold zeros without a disk block behind them: nothing there can fail.
    const off_t data = ::lseek(fd, off_t(done), SEEK_DATA);
    if (data < 0 && errno == ENXIO) break;  // a hole up to the end
    if (data > done) {
      done = qint64(data);
      continue;
    }
    const ssize_t n = ::pread(fd, buffer.get(), kChunk, off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = systemError(errno);
      return false;
    }
    if (n == 0) {
      error = QStringLiteral("the file became shorter while it was read");
      return false;
    }
    done += n;
  }
  return true;
}

}  // namespace

MappedFile::MappedFile(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  if (name.isEmpty()) return;
  struct stat entry;
  if (::lstat(name.constData(), &entry) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return;
    status_ = Status::Unreadable;
    error_ = systemError(errno);
    return;
  }
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    // A link that leads nowhere, or round in a loop, holds nothing that could be lost.
    const bool nowhere = S_ISLNK(entry.st_mode) && (error == ENOENT || error == ELOOP || error == ENOTDIR);
    status_ = nowhere ? Status::NotAFile : Status::Unreadable;
    error_ = systemError(error);
    return;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    status_ = Status::Unreadable;
    error_ = systemError(errno);
  } else if (!S_ISREG(st.st_mode)) {
    status_ = Status::NotAFile;
    error_ = S_ISDIR(st.st_mode) ? QStringLiteral("a folder") : QStringLiteral("not a regular file");
  } else if (size_ = qint64(st.st_size); size_ > 0 && !readThrough(fd, size_, error_)) {
    status_ = Status::Unreadable;
  } else if (size_ > 0 && (map_ = ::mmap(nullptr, size_t(size_), PROT_READ, MAP_PRIVATE, fd, 0)) == MAP_FAILED) {
    map_ = nullptr;
    status_ = Status::Unreadable;
    error_ = QStringLiteral("cannot map %1 bytes: %2").arg(size_).arg(systemError(errno));
  } else {
    status_ = Status::Mapped;
  }
  ::close(fd);
}

MappedFile::~MappedFile() { close(); }

QByteArray MappedFile::bytes() const {
  return map_ ? QByteArray::fromRawData(static_cast<const char*>(map_), qsizetype(size_)) : QByteArray();
}

void MappedFile::close() {
  if (map_) ::munmap(map_, size_t(size_));
  map_ = nullptr;
}

}  // namespace ox
