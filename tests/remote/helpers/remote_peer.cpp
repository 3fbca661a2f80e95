// The other program of the hand-over test: listens at start, gives the receiver up when the program named on the
// command line asks for it, and takes it back when someone else finishes with it. Prints "listening", "refused" and
// "released" as they happen; quits when its standard input closes.
//
// ox_test_remote_peer <lock file> <own bundle identifier> <bundle identifier to give way to>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

#include "platform/foundation/Info.h"
#include "remote/AppleRemote.h"
#include "tests/remote/FakeHIDBackend.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4) return 2;
  const QString me = QString::fromLocal8Bit(argv[2]);
  const QString giveWayTo = QString::fromLocal8Bit(argv[3]);
  ox::registerInfoValues({{RemoteControl::kBundleIdentifierKey, me}});
  auto remote = AppleRemote::create({}, std::make_unique<FakeHIDBackend>(QString::fromLocal8Bit(argv[1])));
  auto say = [](const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
  };
  auto sender = [](const ox::DistributedNotification& note) {
    return note.userInfo.value(RemoteControl::kBundleIdentifierKey).toString();
  };

  auto& center = ox::DistributedNotificationCenter::defaultCenter();
  center.addObserver(RemoteControl::kRequestForRemoteControl, {}, [&](const ox::DistributedNotification& note) {
    if (sender(note) != giveWayTo || !remote->isListeningToRemote()) return;
    remote->stopListening();
    say("released");
  });
  center.addObserver(RemoteControl::kFinishedUsingRemoteControl, {}, [&](const ox::DistributedNotification& note) {
    if (sender(note) == me || remote->isListeningToRemote()) return;
    remote->startListening();
    if (remote->isListeningToRemote()) say("listening");
  });
  remote->startListening();
  say(remote->isListeningToRemote() ? "listening" : "refused");

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[64];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
  });
  const int status = app.exec();
  remote.reset();
  return status;
}
