#pragma once
#include <QString>

namespace oxtest {

// The temporary folder of one test process. TMPDIR points into a folder of the process's own below the one it was
// started with, so whatever the process and the programs it starts make there (a fixture's folder kept by a failing
// test, a child program's scratch) goes when the process ends. The folder stays locked while its process lives: one
// killed before its end (a timeout) leaves it unlocked, and the next test process to start removes it.
class TestTempFolder {
 public:
  TestTempFolder();
  // Removes the folder, first naming on standard error what was left in it.
  ~TestTempFolder();
  TestTempFolder(const TestTempFolder&) = delete;
  TestTempFolder& operator=(const TestTempFolder&) = delete;

  // Empty when no folder could be made (TMPDIR is then left as it was).
  QString path() const { return path_; }

 private:
  QString path_;
  int lock_ = -1;
};

}  // namespace oxtest
