#include "app/OXMainInterface.h"

#include <QCoreApplication>
#include <QDir>

#include "platform/foundation/Info.h"

#ifndef OX_VERSION
#define OX_VERSION "0.0.0"
#endif

OXMainInterface OXMainInterface::load() {
  OXMainInterface ui;
  ui.delegate = VNAppDelegate::create();
  ui.window = OXWindow::create();
  ui.window->setContentView(std::make_shared<ox::View>());
  ui.appController = AppController::create();
  ui.appController->setContentView(ui.window->contentView());
  ui.delegate->setWindow(ui.window);
  ui.delegate->setAppController(ui.appController);
  ui.appController->awakeFromNib();
  return ui;
}

void OXMainInterface::registerInfoValues() {
  const QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
  ox::registerInfoValues({
      {"CFBundleName", "Ombrix"},
      {"CFBundleIdentifier", "Varnel.Ombrix"},
      {"CFBundleVersion", OX_VERSION},
      {"SUFeedURL", "https://updates.ombrix.example/ombrix/appcast.xml"},
      {"OXHelperBundleIdentifier", "Varnel.OmbrixHelper"},
      {"OXHelperPath", QDir(dir).filePath("ombrix-helper")},
      {"OXKillallPath", "/usr/bin/killall"},
  });
  const std::pair<const char*, const char*> overrides[] = {
      {"SUFeedURL", "OMBRIX_FEED_URL"},
      {"CFBundleIdentifier", "OMBRIX_BUNDLE_IDENTIFIER"},
      {"OXHelperBundleIdentifier", "OMBRIX_HELPER_BUNDLE_IDENTIFIER"},
      {"OXHelperPath", "OMBRIX_HELPER_PATH"},
      {"OXKillallPath", "OMBRIX_KILLALL"},
  };
  for (const auto& [key, variable] : overrides)
    ox::registerInfoEnvironmentOverride(QString::fromLatin1(key), QString::fromLatin1(variable));
}
