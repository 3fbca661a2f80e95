#include "platform/foundation/Bundle.h"

#include <QFileInfo>

namespace ox {

QString Bundle::pathForResource(const QString& name, const QString& type) {
  if (name.isEmpty() || name.contains(u'/')) return {};
  const QString path = QStringLiteral(":/") + name + (type.isEmpty() ? QString() : QStringLiteral(".") + type);
  return QFileInfo(path).isFile() ? path : QString();
}

}  // namespace ox
