#include "platform/system/DistributedNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QThread>

#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"

namespace ox {

const QString DistributedNotificationCenter::kPath = QStringLiteral("/Varnel/DistributedNotificationCenter");
const QString DistributedNotificationCenter::kInterface = QStringLiteral("Varnel.DistributedNotificationCenter");
const QString DistributedNotificationCenter::kMember = QStringLiteral("Posted");

namespace {

// Nested containers arrive as QDBusArgument and variants as QDBusVariant; observers get plain Qt values.
QVariant plainValue(const QVariant& value) {
  if (value.userType() == qMetaTypeId<QDBusVariant>()) return plainValue(qvariant_cast<QDBusVariant>(value).variant());
  if (value.userType() != qMetaTypeId<QDBusArgument>()) return value;
  const QDBusArgument arg = qvariant_cast<QDBusArgument>(value);
  switch (arg.currentType()) {
    case QDBusArgument::MapType: {
      QVariantMap map;
      arg.beginMap();
      while (!arg.atEnd()) {
        arg.beginMapEntry();
        const QString key = plainValue(arg.asVariant()).toString();
        map.insert(key, plainValue(arg.asVariant()));
        arg.endMapEntry();
      }
      arg.endMap();
      return map;
    }
    case QDBusArgument::ArrayType: {
      QVariantList list;
      arg.beginArray();
      while (!arg.atEnd()) list << plainValue(arg.asVariant());
      arg.endArray();
      return list;
    }
    case QDBusArgument::StructureType: {
      QVariantList fields;
      arg.beginStructure();
      while (!arg.atEnd()) fields << plainValue(arg.asVariant());
      arg.endStructure();
      return fields;
    }
    default:
      return plainValue(arg.asVariant());
  }
}

}  // namespace

// Lives on the main thread, so the bus delivers the signal there.
class DistributedNotificationCenter::Receiver : public QObject {
  Q_OBJECT
 public:
  explicit Receiver(DistributedNotificationCenter& center) : m_center(center) {}

 public slots:
  void posted(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() != 3) return;
    DistributedNotification note;
    note.name = args[0].toString();
    note.object = args[1].toString();
    note.userInfo = plainValue(args[2]).toMap();
    if (note.name.isEmpty()) return;
    m_center.deliver(note);
  }

 private:
  DistributedNotificationCenter& m_center;
};

DistributedNotificationCenter::DistributedNotificationCenter() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    log(QStringLiteral("distributed notifications: no application, nothing will be delivered"));
    return;
  }
  m_receiver = new Receiver(*this);
  if (m_receiver->thread() != app->thread()) m_receiver->moveToThread(app->thread());
  QDBusConnection bus = QDBusConnection::sessionBus();
  // The bus routes a signal to every connection whose match rule it fits, the sender's own included.
  m_onBus = bus.isConnected() && bus.connect(QString(), kPath, kInterface, kMember, m_receiver,
                                             SLOT(posted(QDBusMessage)));
  if (m_onBus) {
    // Once the flush is answered the match rule is in place, so a post another process makes after hearing from
    // this one reaches it.
    flush();
  } else {
    log(QStringLiteral("distributed notifications: no session bus, posts reach this process only"));
  }
}

DistributedNotificationCenter& DistributedNotificationCenter::defaultCenter() {
  static DistributedNotificationCenter* const center = new DistributedNotificationCenter;
  return *center;
}

DistributedNotificationCenter::Token DistributedNotificationCenter::addObserver(
    const QString& name, const QString& object, std::function<void(const DistributedNotification&)> block) {
  // The registry matches objects by address; the distributed object is a string, compared here instead.
  return m_observers.addObserver(name, nullptr, [object, block = std::move(block)](const Notification& n) {
    const auto& note = *static_cast<const DistributedNotification*>(n.object);
    if (!object.isEmpty() && note.object != object) return;
    block(note);
  });
}

void DistributedNotificationCenter::removeObserver(Token token) { m_observers.removeObserver(token); }

bool DistributedNotificationCenter::post(const QString& name, const QString& object, const QVariantMap& userInfo) {
  if (name.isEmpty()) return false;
  if (!m_onBus) {
    if (!m_receiver) return false;
    dispatchMain([this, note = DistributedNotification{name, object, userInfo}] { deliver(note); });
    return true;
  }
  QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, kMember);
  signal << name << object << userInfo;
  if (!QDBusConnection::sessionBus().send(signal)) {
    OXLOG("distributed notification \"%s\" not sent: %s", qPrintable(name),
          qPrintable(QDBusConnection::sessionBus().lastError().message()));
    return false;
  }
  return true;
}

void DistributedNotificationCenter::flush() {
  if (!m_onBus) return;
  // The bus takes a connection's messages in order: a call answered means everything sent before it has arrived.
  const QString daemon = QStringLiteral("org.freedesktop.DBus");
  QDBusConnection::sessionBus().call(
      QDBusMessage::createMethodCall(daemon, QStringLiteral("/org/freedesktop/DBus"), daemon, QStringLiteral("GetId")),
      QDBus::Block, 5000);
}

void DistributedNotificationCenter::deliver(const DistributedNotification& note) {
  m_observers.post(note.name, &note, note.userInfo);
}

}  // namespace ox

#include "DistributedNotificationCenter.moc"
