#include "platform/foundation/Log.h"

#include <cstdio>
#include <mutex>

namespace ox {

void log(const QString& line) {
  static std::mutex m;
  const QByteArray bytes = line.toUtf8();
  std::lock_guard<std::mutex> hold(m);
  std::fprintf(stderr, "%s\n", bytes.constData());
}

}  // namespace ox
