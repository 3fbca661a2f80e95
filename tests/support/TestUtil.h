#pragma once
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class QProcess;

namespace oxtest {

// Runs the Qt event loop (main-queue work, timers) until pred() holds or timeoutMs passes; answers pred().
bool spinUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
// Runs the event loop for about ms milliseconds.
void spinFor(int ms);
// How long `work` takes, in milliseconds.
qint64 msTakenBy(const std::function<void()>& work);
// Path of a file below the source tree.
QString sourcePath(const QString& relative);
// Runs `python3 script args...`; answers its exit code and fills out with its standard output.
int runPython(const QString& script, const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr,
              int timeoutMs = 60000);

// The environment of this process for a program a test starts: under ThreadSanitizer the program reads Qt as the
// test executables do (their defaults live in test_main.cpp), since Qt's own locking is not instrumented.
QProcessEnvironment programEnvironment();
// Sanitized builds: what a program of ours that releases libvlc needs for its leak check to hold (see test_main.cpp).
void keepLibpixmanLoaded(QProcessEnvironment& env);

// The most memory the process (0: this one) has held resident so far, in bytes (its VmHWM); 0 when unknown.
qint64 peakResidentBytes(qint64 pid = 0);

// Makes `process` and starts `program` in it, in `environment` when one is given; answers whether it started.
// Under ThreadSanitizer the spawn runs on a throw-away thread (see StandIn), and the process object comes back to
// the calling thread.
bool startProcess(std::unique_ptr<QProcess>& process, const QString& program, const QStringList& args,
                  const QProcessEnvironment& environment = {}, int timeoutMs = 20000);

}  // namespace oxtest
