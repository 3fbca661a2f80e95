#include "platform/ui/Application.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "platform/foundation/Log.h"

namespace ox {
namespace {
std::function<void()> g_handler;
int g_requests = 0;
int g_signalPipe[2] = {-1, -1};
// The running program's ending step, until it has run.
std::function<void()> g_willTerminate;
QtMessageHandler g_previousMessageHandler = nullptr;

void onSignal(int) {
  const char byte = 1;
  // Nothing but a write is safe here; the event loop reads it.
  [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void runWillTerminate() {
  const std::function<void()> step = std::move(g_willTerminate);
  g_willTerminate = nullptr;
  if (step) step();
}

bool displayConnectionBroke() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 && x11->connection() && xcb_connection_has_error(x11->connection()) != 0;
}

// Qt's xcb platform warns that the display connection broke and then calls exit(1) from its event dispatcher, with
// no event or signal before: its warning is the last moment the program still runs whole.
void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  g_previousMessageHandler(type, context, text);
  if (!g_willTerminate || !qGuiApp || QThread::currentThread() != qGuiApp->thread() || !displayConnectionBroke())
    return;
  ox::log(QStringLiteral("The display went away: the program ends"));
  runWillTerminate();
  std::fflush(stdout);
  std::exit(0);
}

// SIGTERM and SIGINT terminate from the event loop; answers the notifier that reads the wake-ups.
std::unique_ptr<QSocketNotifier> watchSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) {
    ox::log(QStringLiteral("no signal pipe: SIGTERM ends the program without its ending step"));
    return nullptr;
  }
  auto notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
    char byte;
    while (::read(g_signalPipe[0], &byte, 1) > 0) {
    }
    Application::terminate();
  });
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  return notifier;
}

void stopWatchingSignals(std::unique_ptr<QSocketNotifier> notifier) {
  if (!notifier) return;
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  notifier.reset();
  ::close(g_signalPipe[0]);
  ::close(g_signalPipe[1]);
  g_signalPipe[0] = g_signalPipe[1] = -1;
}
}  // namespace

int Application::run(const std::function<void()>& willTerminate) {
  g_willTerminate = willTerminate;
  std::unique_ptr<QSocketNotifier> signalWatch = watchSignals();
  g_previousMessageHandler = qInstallMessageHandler(onMessage);
  const int status = QCoreApplication::exec();
  // A signal that comes while the ending step runs wakes nothing and ends nothing.
  runWillTerminate();
  qInstallMessageHandler(g_previousMessageHandler);
  stopWatchingSignals(std::move(signalWatch));
  return status;
}

void Application::terminate() {
  ++g_requests;
  if (g_handler)
    g_handler();
  else
    QCoreApplication::quit();
}

void Application::setTerminateHandler(std::function<void()> handler) { g_handler = std::move(handler); }

int Application::terminateRequests() { return g_requests; }

}  // namespace ox
