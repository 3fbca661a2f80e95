#pragma once
#include <QTemporaryDir>

namespace oxtest {

// A QTemporaryDir that also removes the names QDir cannot spell: files and folders made by their bytes (Latin-1 names
// as old disks hold them), which are not UTF-8 and would otherwise stay behind with the folder around them.
class TemporaryDir : public QTemporaryDir {
 public:
  using QTemporaryDir::QTemporaryDir;
  ~TemporaryDir();
  TemporaryDir(const TemporaryDir&) = delete;
  TemporaryDir& operator=(const TemporaryDir&) = delete;

  // Removes the folder at `path` and all below it, whatever the bytes of their names; answers whether it is gone.
  static bool removeFolder(const QString& path);
};

}  // namespace oxtest
