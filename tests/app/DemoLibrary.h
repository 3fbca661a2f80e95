#pragma once
// The demo library for the end-to-end tests: the demo tool's scan cycles over folders of video files, into this
// process's library folder, against the stand-ins.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <memory>

#include "platform/ui/KeyEvent.h"
#include "platform/ui/WindowServer.h"
#include "tests/support/TestUtil.h"

namespace apptest {

// One scan cycle of the demo tool over the folders into the library folder `support`.
inline bool runDemoCycle(const QString& support, const QString& movies, const QString& shows) {
  QFile catalogue(oxtest::sourcePath("tests/standin/catalogue.json"));
  if (!catalogue.open(QIODevice::ReadOnly)) return false;
  const QString key = QJsonDocument::fromJson(catalogue.readAll()).object().value("tvdbApiKey").toString();
  QProcessEnvironment env = oxtest::programEnvironment();
  env.insert("OX_DEMO_TVDB_API_KEY", key);
  std::unique_ptr<QProcess> demo;
  if (!oxtest::startProcess(demo, QStringLiteral(OX_BINARY_DIR "/tools/ox-demo"), {support, movies, shows}, env))
    return false;
  const bool done = demo->waitForFinished(60000) && demo->exitStatus() == QProcess::NormalExit && demo->exitCode() == 0;
  if (!done) ADD_FAILURE() << demo->readAllStandardError().toStdString();
  return done;
}

// A key as the keyboard gives it, through the window server.
inline void press(char16_t c) {
  ox::WindowServer::shared().dispatchKeyEvent(ox::KeyEvent::withCharacters(QString(QChar(c))));
}

}  // namespace apptest
