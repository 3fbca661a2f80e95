// Posts one distributed notification to the programs of the session, as another program would:
//   ox-post-notification <name> [object]
// e.g. "closeOmbrixHelperNotification" asks Ombrix Helper to quit, "openPopUpPermanent" to open its panel.
#include <QCoreApplication>
#include <cstdio>

#include "platform/system/DistributedNotificationCenter.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: ox-post-notification <name> [object]\n");
    return 2;
  }
  const QString name = QString::fromLocal8Bit(argv[1]);
  const QString object = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  if (!ox::DistributedNotificationCenter::defaultCenter().post(name, object)) return 1;
  ox::DistributedNotificationCenter::defaultCenter().flush();
  return 0;
}
