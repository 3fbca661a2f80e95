#include "platform/foundation/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/FileName.h"
#include "platform/foundation/Log.h"

namespace ox {

namespace {

// A temporary file younger than this may belong to a writer that has just made it and not yet locked it.
constexpr int kTemporarySettleSeconds = 60;

// Temporaries are hidden and say what they are: no name a person gives a copy ("library.bin.backup",
// "library.bin.2024v1") is of this form, so the clean-up can never take one.
const QString kTemporaryMark = QStringLiteral(".saving-");

QString temporaryPrefix(const QString& name) { return QLatin1Char('.') + name + kTemporaryMark; }

// The new name must reach the disk too: after a power loss the folder could otherwise still name the old file, or
// none.
bool syncFolderOf(const QByteArray& target) {
  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray folder = slash > 0 ? target.left(slash) : QByteArray(slash == 0 ? "/" : ".");
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int rc;
  do rc = ::fsync(fd);
  while (rc != 0 && errno == EINTR);
  ::close(fd);
  return rc == 0;
}

}  // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  const QByteArray target = encodeFileName(info.absoluteFilePath());
  QByteArray temp = encodeFileName(info.absoluteDir().filePath(temporaryPrefix(info.fileName()))) + "XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    ox::log(QStringLiteral("writeFileAtomically: cannot create a temporary file beside %1").arg(path));
    return false;
  }
  // Held until the file is closed: tells removeStaleTemporaries that a writer is still at work on it.
  ::flock(fd, LOCK_EX);
  struct stat old;
  ::fchmod(fd, ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  bool ok = true;
  for (qsizetype done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    done += ok ? n : 0;
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.constData(), target.constData()) == 0;
  if (!ok) {
    ::unlink(temp.constData());
    ox::log(QStringLiteral("writeFileAtomically: cannot write %1; the old file stays").arg(path));
    return false;
  }
  // The new file is in place and whole; only its survival of a power loss depends on this.
  if (!syncFolderOf(target)) ox::log(QStringLiteral("writeFileAtomically: cannot flush the folder of %1").arg(path));
  return true;
}

int removeStaleTemporaries(const QString& path) {
  const QFileInfo target(path);
  const QDir folder = target.absoluteDir();
  const QString prefix = temporaryPrefix(target.fileName());
  // mkstemp's six letters or digits after the prefix.
  const QRegularExpression own(QStringLiteral("^%1[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(prefix)));
  const qint64 settled = QDateTime::currentSecsSinceEpoch() - kTemporarySettleSeconds;
  int removed = 0;
  for (const QString& name : folder.entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System)) {
    if (!own.match(name).hasMatch()) continue;
    const QByteArray file = encodeFileName(folder.filePath(name));
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {}, now {};
    // A writer still holding it (a long save in another process) keeps it; so does a file the name no longer leads to.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_mtime <= settled &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(file.constData(), &now) == 0 && now.st_dev == st.st_dev &&
        now.st_ino == st.st_ino && ::unlink(file.constData()) == 0)
      ++removed;
    ::close(fd);
  }
  if (removed > 0)
    ox::log(QStringLiteral("writeFileAtomically: removed %1 temporary file(s) of saves that never ended beside %2")
                .arg(removed)
                .arg(path));
  return removed;
}

}  // namespace ox
