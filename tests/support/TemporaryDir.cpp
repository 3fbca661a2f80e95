#include "tests/support/TemporaryDir.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <ftw.h>

namespace oxtest {

TemporaryDir::~TemporaryDir() {
  if (isValid() && autoRemove()) removeFolder(path());
}

bool TemporaryDir::removeFolder(const QString& path) {
  // Depth first and without following links; a name that cannot go does not stop the others.
  ::nftw(QFile::encodeName(path).constData(),
         [](const char* name, const struct stat*, int, struct FTW*) {
           std::remove(name);
           return 0;
         },
         16, FTW_DEPTH | FTW_PHYS);
  return !QFileInfo::exists(path);
}

}  // namespace oxtest
