#pragma once
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace oxtest {

// Runs the Qt event loop (main-queue work, timers) until pred() holds or timeoutMs passes; answers pred().
bool spinUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
// Runs the event loop for about ms milliseconds.
void spinFor(int ms);
// Path of a file below the source tree.
QString sourcePath(const QString& relative);
// Runs `python3 script args...`; answers its exit code and fills out with its standard output.
int runPython(const QString& script, const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr,
              int timeoutMs = 60000);

}  // namespace oxtest
