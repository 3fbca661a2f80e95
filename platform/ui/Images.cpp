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
  if (image.isNull()) log(QStringLiteral("imageNamed: no picture named %1").arg(name));
  loaded.insert(name, image);
  return image;
}

}  // namespace ox
