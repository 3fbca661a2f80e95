#include "platform/ui/Images.h"

#include <QHash>

#include <mutex>

#include "platform/foundation/Log.h"

namespace ox {

QImage imageNamed(const QString& name) {
  static std::mutex mutex;
  static QHash<QString, QImage> loaded;
  std::lock_guard lock(mutex);
  if (const auto it = loaded.constFind(name); it != loaded.constEnd()) return it.value();
  QImage image(QStringLiteral(":/images/") + name);
  // Named without its type, as the watched marks "0P".."8P" are: the PNG of that name.
  if (image.isNull() && !name.contains(QLatin1Char('.'))) image = QImage(QStringLiteral(":/images/%1.png").arg(name));
  if (image.isNull()) log(QStringLiteral("imageNamed: no picture named %1").arg(name));
  if (name.contains(QLatin1String("@2x."))) image.setDevicePixelRatio(2);
  loaded.insert(name, image);
  return image;
}

}  // namespace ox
