#include "platform/foundation/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Log.h"

namespace ox {

namespace {

// A temporary file younger than this may belong to a writer that has just made it and not yet locked it.
constexpr int kTemporarySettleSeconds = 60;

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
  const QByteArray target = QFile::encodeName(QFileInfo(path).absoluteFilePath());
  QByteArray temp = target + ".XXXXXX";
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
  // mkstemp's names: the file's name, a dot and six random letters or digits. Six that are all small letters, all
  // capitals or all digits may be a name someone chose ("library.bin.backup"): a random one rarely is.
  const QRegularExpression own(QStringLiteral("^") + QRegularExpression::escape(target.fileName()) +
                               QStringLiteral("\\.(?![a-z]{6}$|[A-Z]{6}$|[0-9]{6}$)[A-Za-z0-9]{6}$"));
  const QDateTime settled = QDateTime::currentDateTimeUtc().addSecs(-kTemporarySettleSeconds);
  int removed = 0;
  for (const QFileInfo& entry : folder.entryInfoList({target.fileName() + QStringLiteral(".*")},
                                                     QDir::Files | QDir::Hidden | QDir::System)) {
    if (entry.isSymLink() || !own.match(entry.fileName()).hasMatch() || entry.lastModified() > settled) continue;
    const QByteArray name = QFile::encodeName(entry.absoluteFilePath());
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    // A writer still holding it (a long save in another process) keeps it.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(name.constData()) == 0) ++removed;
    ::close(fd);
  }
  if (removed > 0)
    ox::log(QStringLiteral("writeFileAtomically: removed %1 temporary file(s) of saves that never ended beside %2")
                .arg(removed)
                .arg(path));
  return removed;
}

}  // namespace ox
