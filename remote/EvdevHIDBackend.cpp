#include "remote/EvdevHIDBackend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/foundation/Log.h"

EvdevHIDBackend::EvdevHIDBackend(const QString& devicePath, RemoteClock& clock)
    : m_fixedPath(devicePath), m_batcher(clock) {}

EvdevHIDBackend::~EvdevHIDBackend() { close(); }

bool EvdevHIDBackend::isAppleReceiverName(const QString& name) {
  static const QRegularExpression apple(QStringLiteral("^Apple\\b.*\\bIR Receiver$"),
                                        QRegularExpression::CaseInsensitiveOption);
  return apple.match(name.trimmed()).hasMatch();
}

bool EvdevHIDBackend::isReceiverName(const QString& name) {
  static const QRegularExpression receiver(
      QStringLiteral("\\b(IR|CIR)\\b|infrared|ir[-_ ]?(recv|receiver)"), QRegularExpression::CaseInsensitiveOption);
  return receiver.match(name).hasMatch();
}

QString EvdevHIDBackend::findReceiver(const QString& sysClassInput, const QString& devInput) {
  QStringList events = QDir(sysClassInput).entryList({QStringLiteral("event*")}, QDir::AllEntries | QDir::System);
  std::sort(events.begin(), events.end(), [](const QString& a, const QString& b) {
    return a.mid(5).toInt() < b.mid(5).toInt();  // "event2" before "event10"
  });
  QString candidate;
  for (const QString& event : events) {
    QFile file(sysClassInput + QLatin1Char('/') + event + QStringLiteral("/device/name"));
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QString name = QString::fromUtf8(file.readAll()).trimmed();
    if (!isReceiverName(name)) continue;
    const QString node = devInput + QLatin1Char('/') + event;
    if (isAppleReceiverName(name)) return node;
    if (candidate.isEmpty()) candidate = node;
  }
  return candidate;
}

bool EvdevHIDBackend::findDevice(const QString&) {
  if (isOpen()) return true;
  m_path = m_fixedPath.isEmpty() ? findReceiver() : m_fixedPath;
  return !m_path.isEmpty() && QFileInfo::exists(m_path);
}

QVariant EvdevHIDBackend::deviceProperty(const QString&) const { return {}; }

HIDRemoteBackend::OpenResult EvdevHIDBackend::open(bool exclusive) {
  close();
  const QByteArray path = QFile::encodeName(m_path);
  const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    OXLOG("remote control: cannot open %s: %s%s", path.constData(), std::strerror(error),
          error == EACCES ? " (the user needs the input group or a udev rule for the receiver)" : "");
    return OpenResult::Failed;
  }
  libevdev* device = nullptr;
  if (const int rc = libevdev_new_from_fd(fd, &device); rc < 0) {
    OXLOG("remote control: %s is no input device: %s", path.constData(), std::strerror(-rc));
    ::close(fd);
    return OpenResult::Failed;
  }
  if (exclusive) {
    if (const int rc = libevdev_grab(device, LIBEVDEV_GRAB); rc < 0) {
      libevdev_free(device);
      ::close(fd);
      if (rc == -EBUSY) return OpenResult::Busy;
      OXLOG("remote control: cannot take %s for this program alone: %s", path.constData(), std::strerror(-rc));
      return OpenResult::Failed;
    }
  }
  m_fd = fd;
  m_device = device;
  m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readEvents(); });
  return OpenResult::Opened;
}

std::vector<quint32> EvdevHIDBackend::elementCookies() const {
  if (!m_device) return {};
  for (unsigned int code = 0; code <= KEY_MAX; ++code)
    if (EvdevKeyBatcher::handlesKey(code) && libevdev_has_event_code(m_device, EV_KEY, code))
      return EvdevKeyBatcher::elementCookies();
  return {};
}

void EvdevHIDBackend::close() {
  if (m_notifier) {
    m_notifier->setEnabled(false);
    // Inside the notifier's own signal (a button that stops listening) it may not be deleted yet.
    if (m_reading)
      m_notifier.release()->deleteLater();
    else
      m_notifier.reset();
  }
  m_batcher.reset();
  if (m_device) {
    // Closing the node ends the grab as well; ungrabbing first hands the receiver back at once.
    libevdev_grab(m_device, LIBEVDEV_UNGRAB);
    libevdev_free(m_device);
    m_device = nullptr;
  }
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}

void EvdevHIDBackend::readEvents() {
  m_reading = true;
  struct Done {
    bool& reading;
    ~Done() { reading = false; }
  } done{m_reading};
  input_event event;
  unsigned int flags = LIBEVDEV_READ_FLAG_NORMAL;
  while (m_device) {
    const int rc = libevdev_next_event(m_device, flags, &event);
    if (rc == -EAGAIN) {
      if (flags == LIBEVDEV_READ_FLAG_SYNC) {
        flags = LIBEVDEV_READ_FLAG_NORMAL;
        continue;
      }
      return;
    }
    if (rc == LIBEVDEV_READ_STATUS_SYNC) {
      // Events were dropped: a half-seen key would end in a wrong click or hold, so start over.
      m_batcher.reset();
      flags = LIBEVDEV_READ_FLAG_SYNC;
      continue;
    }
    if (rc < 0) {
      OXLOG("remote control: the receiver %s went away: %s", qPrintable(m_path), std::strerror(-rc));
      close();
      return;
    }
    if (flags == LIBEVDEV_READ_FLAG_NORMAL && event.type == EV_KEY) m_batcher.keyEvent(event.code, event.value);
  }
}
