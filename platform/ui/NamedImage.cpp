#include "platform/ui/NamedImage.h"

#include <QFileInfo>
#include <QHash>
#include <mutex>

#include "platform/foundation/Log.h"

namespace ox {

QImage NamedImage::imageNamed(const QString& name) {
  static std::mutex mutex;
  static QHash<QString, QImage> cache;
  std::lock_guard hold(mutex);
  if (const auto found = cache.constFind(name); found != cache.constEnd()) return *found;
  QImage image;
  const QString base = QStringLiteral(":/images/") + name;
  // A picture drawn at twice its size ("<name>@2x.png") shows at its size in points, sharp on dense screens.
  if (image.load(base + QStringLiteral("@2x.png"))) {
    image.setDevicePixelRatio(2);
  } else {
    const QStringList candidates = QFileInfo(name).suffix().isEmpty()
                                       ? QStringList{base + QStringLiteral(".png"), base + QStringLiteral(".jpg")}
                                       : QStringList{base};
    for (const QString& path : candidates)
      if (image.load(path)) break;
  }
  if (image.isNull()) OXLOG("no image named \"%s\"", qPrintable(name));
  cache.insert(name, image);
  return image;
}

}  // namespace ox
