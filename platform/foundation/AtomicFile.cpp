#include "platform/foundation/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Log.h"

namespace ox {

namespace {

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

}  // namespace ox
