#include "tests/support/TestTempFolder.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TemporaryDir.h"

namespace oxtest {
namespace {

constexpr char kPrefix[] = "ombrix-test-tmp-";

// The folder at `path`, locked without waiting; -1 when it is gone or a live process holds it. An flock belongs to
// the open descriptor, so it goes with the process however it ends, and it holds across PID namespaces sharing /tmp.
int lockFolder(const QByteArray& path) {
  const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  ::close(fd);
  return -1;
}

void removeAbandoned(const QDir& base) {
  const QStringList names =
      base.entryList({QLatin1String(kPrefix) + QLatin1Char('*')}, QDir::Dirs | QDir::NoSymLinks);
  for (const QString& name : names) {
    const QString path = base.filePath(name);
    const int fd = lockFolder(QFile::encodeName(path));
    if (fd < 0) continue;
    TemporaryDir::removeFolder(path);
    ::close(fd);
  }
}

}  // namespace

TestTempFolder::TestTempFolder() {
  const QDir base(QDir::tempPath());
  removeAbandoned(base);
  // Made under a name the removal passes over and renamed once locked, so no other process takes it meanwhile.
  QByteArray staging = QFile::encodeName(base.filePath(QStringLiteral(".") + QLatin1String(kPrefix) + "XXXXXX"));
  if (!::mkdtemp(staging.data())) return;
  const QString made = QFile::decodeName(staging);
  const QString path = base.filePath(QLatin1String(kPrefix) + made.right(6));
  lock_ = lockFolder(staging);
  if (lock_ < 0 || ::rename(staging.constData(), QFile::encodeName(path).constData()) != 0) {
    if (lock_ >= 0) ::close(lock_);
    lock_ = -1;
    ::rmdir(staging.constData());
    return;
  }
  // Passable by others, as /tmp is: a test may reach its files as another user (a root run checking unreadable files).
  ::chmod(QFile::encodeName(path).constData(), 0711);
  path_ = path;
  qputenv("TMPDIR", QFile::encodeName(path_));
}

TestTempFolder::~TestTempFolder() {
  if (path_.isEmpty()) return;
  // The folders of test processes this one started (a death test's) are theirs to report.
  QStringList left = QDir(path_).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  left.removeIf([](const QString& name) { return name.startsWith(QLatin1String(kPrefix)); });
  if (!left.isEmpty())
    std::fprintf(stderr, "Left in the test process's temporary folder, removed at its end: %s\n",
                 qPrintable(left.join(QStringLiteral(", "))));
  TemporaryDir::removeFolder(path_);
  ::close(lock_);
}

}  // namespace oxtest
