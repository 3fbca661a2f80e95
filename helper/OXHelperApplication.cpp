#include "helper/OXHelperApplication.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>

#include "helper/OXAppDelegate.h"
#include "platform/foundation/HttpClient.h"
#include "platform/foundation/Info.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainQueue.h"
#include "platform/system/DistributedNotificationCenter.h"
#include "platform/system/Workspace.h"
#include "platform/ui/Application.h"
#include "scanner/Keychain.h"

#ifndef OX_VERSION
#define OX_VERSION "0.0.0"
#endif

namespace {

// A sanitized build runs its destructors and its exit several times slower; its teardown is given as much more, so
// that what would end in time in a normal build is not left behind there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr qint64 kSlowdown = 3;
#else
constexpr qint64 kSlowdown = 1;
#endif
// How long taking the process down may last once the library is saved, and at least, after a wait on the keychain.
constexpr qint64 kTeardownMs = 1000 * kSlowdown;
constexpr qint64 kLeastTeardownMs = 500 * kSlowdown;
// How long into the quit a log-out's keychain deletion may still be waited for, and how long the whole quit may
// take with its teardown: a quit ends within two seconds (in a normal build).
constexpr qint64 kKeychainDeletionMs = 1300;
constexpr qint64 kQuitMs = 1900 * kSlowdown;

// Past the bound, the process ends where it stands: nothing is left to keep, and a thread still waiting on a
// service (a request its token could not end, a keychain that does not answer) never sees the objects it uses go.
void leaveWithin(qint64 ms, int status) {
  std::thread([ms, status] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    static const char kLine[] = "Ombrix Helper: work still running at exit was left behind\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kLine, sizeof kLine - 1);
    ::_exit(status);
  }).detach();
}

}  // namespace

void OXHelperApplication::registerInfoValues() {
  // Ombrix lies beside the helper.
  const QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
  ox::registerInfoValues({{QStringLiteral("CFBundleName"), QStringLiteral("Ombrix Helper")},
                          {QStringLiteral("CFBundleIdentifier"), OXAppDelegate::kBundleIdentifier},
                          {QStringLiteral("CFBundleVersion"), QStringLiteral(OX_VERSION)},
                          {QStringLiteral("CFBundleShortVersionString"), QStringLiteral(OX_VERSION)},
                          {QStringLiteral("SUFeedURL"),
                           QStringLiteral("https://updates.ombrix.example/helper/appcast.xml")},
                          {QStringLiteral("OXMainAppBundleIdentifier"), QStringLiteral("Varnel.Ombrix")},
                          {QStringLiteral("OXMainAppPath"), QDir(dir).filePath(QStringLiteral("ombrix"))},
                          {QStringLiteral("OXKillallPath"), QStringLiteral("/usr/bin/killall")}});
  ox::registerInfoEnvironmentOverride(QStringLiteral("SUFeedURL"), QStringLiteral("OMBRIX_FEED_URL"));
  ox::registerInfoEnvironmentOverride(QStringLiteral("OXMainAppBundleIdentifier"),
                                      QStringLiteral("OMBRIX_MAIN_APP_BUNDLE_IDENTIFIER"));
  ox::registerInfoEnvironmentOverride(QStringLiteral("OXMainAppPath"), QStringLiteral("OMBRIX_MAIN_APP_PATH"));
  ox::registerInfoEnvironmentOverride(QStringLiteral("OXKillallPath"), QStringLiteral("OMBRIX_KILLALL"));
}

OXHelperApplication::OXHelperApplication() {
  // Another program asks the helper to quit (observers run on the main thread).
  closeObserver_ = ox::DistributedNotificationCenter::defaultCenter().addObserver(
      OXAppDelegate::kCloseOmbrixHelperNotification, {},
      [](const ox::DistributedNotification&) { ox::Application::terminate(); });
  delegate_ = std::make_unique<OXAppDelegate>();
}

OXHelperApplication::~OXHelperApplication() {
  ox::DistributedNotificationCenter::defaultCenter().removeObserver(closeObserver_);
  delegate_.reset();
}

int OXHelperApplication::main(int argc, char** argv) {
  // A peer that hangs up mid-answer (the server's sendfile) or a log pipe whose reader left (a launcher that
  // quit) must fail one write, not end the helper.
  std::signal(SIGPIPE, SIG_IGN);
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Varnel"));
  QApplication::setApplicationName(QStringLiteral("Ombrix Helper"));
  // The panel and the tour come and go; the helper stays until it is told to quit.
  QApplication::setQuitOnLastWindowClosed(false);
  registerInfoValues();
  ox::httpGlobalInit();

  if (ox::Workspace::shared().claimBundleIdentifier(OXAppDelegate::kBundleIdentifier) ==
      ox::Workspace::Claim::TakenByAnother) {
    // Started again: the running copy shows its panel, the one way to it on a desktop without a tray.
    ox::DistributedNotificationCenter::defaultCenter().post(OXAppDelegate::kOpenPopUpPermanent);
    ox::DistributedNotificationCenter::defaultCenter().flush();
    ox::log(QStringLiteral("Ombrix Helper already runs; its panel opens there and this copy ends"));
    return 0;
  }
  OXHelperApplication helper;
  helper.delegate()->applicationWillFinishLaunching();
  ox::dispatchMain([&helper] { helper.delegate()->applicationDidFinishLaunching(); });
  // Saves the library on every way out: a quit, SIGTERM or SIGINT, a display that goes away; what runs on after
  // the save is given a bounded time.
  return ox::Application::run([&helper] {
    QElapsedTimer quitting;
    quitting.start();
    helper.delegate()->applicationWillTerminate();
    const qint64 left = std::max<qint64>(0, kKeychainDeletionMs - quitting.elapsed());
    ox::finishKeychainDeletions(std::chrono::milliseconds(left));
    leaveWithin(std::clamp(kQuitMs - quitting.elapsed(), kLeastTeardownMs, kTeardownMs), 0);
  });
}
