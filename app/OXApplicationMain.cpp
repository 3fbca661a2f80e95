#include "app/OXApplicationMain.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include "app/OXFrameCapture.h"
#include "app/OXMainInterface.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/Log.h"
#include "platform/system/Workspace.h"
#include "platform/ui/Application.h"

int OXApplicationMain(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  ox::httpGlobalInit();
  QGuiApplication app(argc, argv);
  QGuiApplication::setApplicationName(QStringLiteral("Ombrix"));
  OXMainInterface::registerInfoValues();

  const QString identifier = ox::infoValue(QStringLiteral("CFBundleIdentifier")).toString();
  if (ox::Workspace::shared().claimBundleIdentifier(identifier) == ox::Workspace::Claim::TakenByAnother) {
    ox::log(QStringLiteral("Ombrix is already running (%1 is taken)").arg(identifier));
    return 0;
  }

  OXFrameCapture::installFromEnvironment(sinceStart);
  const OXMainInterface ui = OXMainInterface::load();
  ui.delegate->applicationWillFinishLaunching();
  ui.delegate->applicationDidFinishLaunching();
  QObject::connect(&app, &QGuiApplication::applicationStateChanged, &app,
                   [delegate = ui.delegate](Qt::ApplicationState state) {
                     if (state == Qt::ApplicationActive) delegate->applicationWillBecomeActive();
                   });
  return ox::Application::run([delegate = ui.delegate] { delegate->applicationWillTerminate(); });
}
