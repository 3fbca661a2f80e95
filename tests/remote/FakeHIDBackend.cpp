#include "tests/remote/FakeHIDBackend.h"

#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

void FakeHIDBackend::deliver(const QString& cookieString, qint32 sum) {
  HIDEventBatch batch;
  for (const QString& cookie : cookieString.split(QLatin1Char('_'), Qt::SkipEmptyParts))
    batch.push_back({cookie.toUInt(), batch.empty() ? sum : 0});
  deliver(batch);
}

HIDRemoteBackend::OpenResult FakeHIDBackend::open(bool exclusive) {
  ++openCount;
  if (failOpen) return OpenResult::Failed;
  if (exclusive && !m_lockPath.isEmpty()) {
    const int fd = ::open(QFile::encodeName(m_lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return OpenResult::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return OpenResult::Busy;
    }
    m_lockFd = fd;
  }
  m_open = true;
  return OpenResult::Opened;
}

void FakeHIDBackend::close() {
  m_open = false;
  if (m_lockFd >= 0) ::close(m_lockFd);
  m_lockFd = -1;
}
