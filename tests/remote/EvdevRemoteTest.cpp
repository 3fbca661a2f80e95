#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "remote/AppleRemote.h"
#include "remote/EvdevHIDBackend.h"
#include "tests/remote/FakeHIDBackend.h"
#include "tests/remote/ManualRemoteClock.h"
#include "tests/remote/RemoteTestUtil.h"
#include "tests/support/TestUtil.h"

namespace {

// Key events through the batcher into an Apple Remote whose receiver hands on what the batcher makes.
struct KeyChain {
  ManualRemoteClock clock;
  EvdevKeyBatcher batcher{clock};
  std::shared_ptr<remotetest::Recorder> recorder = std::make_shared<remotetest::Recorder>();
  std::unique_ptr<AppleRemote> remote;
  KeyChain() {
    auto backend = std::make_unique<FakeHIDBackend>();
    backend->generation = EvdevKeyBatcher::kCookieGeneration;
    FakeHIDBackend* fake = backend.get();
    remote = AppleRemote::create(recorder, std::move(backend));
    remote->startListening();
    batcher.setBatchHandler([fake](const HIDEventBatch& batch) { fake->deliver(batch); });
  }
  // Down for `seconds` (none: press only, a negative value: release only).
  void key(unsigned code, double seconds) {
    if (seconds >= 0 || std::isnan(seconds)) batcher.keyEvent(code, 1);
    if (std::isnan(seconds)) return;
    clock.advance(std::max(seconds, 0.0));
    batcher.keyEvent(code, 0);
  }
};

}  // namespace

TEST(EvdevRemoteTest, TheReceiversKeysArriveAsTheRemotesClicksAndHolds) {
  KeyChain c;
  c.batcher.keyEvent(KEY_VOLUMEUP, 1);
  EXPECT_EQ(c.recorder->log, "2+");  // at once
  c.batcher.keyEvent(KEY_VOLUMEUP, 2);  // repeats are no new presses
  c.key(KEY_VOLUMEUP, -1);
  c.key(KEY_DOWN, 1.0);  // Plus and Minus have no holds
  for (unsigned key : {KEY_MENU, KEY_PLAYPAUSE, KEY_FORWARD, KEY_BACK, KEY_A}) c.key(key, 0.1);
  EXPECT_EQ(c.recorder->log, "2+ 2- 4+ 4- 8+ 8- 16+ 16- 32+ 32- 64+ 64-");

  c.recorder->log.clear();
  c.key(KEY_MENU, 0.39);
  c.key(KEY_MENU, 0.4);
  c.key(KEY_ENTER, 0.5);
  c.key(KEY_RIGHT, NAN);
  c.clock.advance(0.4);
  EXPECT_EQ(c.recorder->log, "8+ 8- 512+ 512- 1024+ 1024- 2048+");
  c.key(KEY_RIGHT, -1);
  EXPECT_EQ(c.recorder->log, "8+ 8- 512+ 512- 1024+ 1024- 2048+ 2048-");

  // A key down when the receiver lost events is forgotten: its release makes no click.
  c.recorder->log.clear();
  c.key(KEY_LEFT, NAN);
  c.batcher.reset();
  c.key(KEY_LEFT, -1);
  c.clock.advance(1);
  EXPECT_EQ(c.recorder->log, "");
}

TEST(EvdevRemoteTest, TheReceiverIsFoundByItsNameAndApplesIsPreferred) {
  QTemporaryDir sys;
  auto add = [&](const QString& event, const QByteArray& name) {
    QDir().mkpath(sys.filePath(event + "/device"));
    QFile file(sys.filePath(event + "/device/name"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(name + "\n");
  };
  add("event0", "AT Translated Set 2 keyboard");
  add("event3", "Logitech USB Receiver");
  EXPECT_EQ(EvdevHIDBackend::findReceiver(sys.path(), "/dev/input"), QString());
  add("event10", "gpio_ir_recv");
  add("event4", "ITE8713 CIR transceiver");
  EXPECT_EQ(EvdevHIDBackend::findReceiver(sys.path(), "/dev/input"), QStringLiteral("/dev/input/event4"));
  add("event12", "Apple Computer, Inc. IR Receiver");
  EXPECT_EQ(EvdevHIDBackend::findReceiver(sys.path(), "/dev/input"), QStringLiteral("/dev/input/event12"));
}

TEST(EvdevRemoteTest, AReceiverMadeWithUinputIsOpenedExclusivelyAndItsButtonsArrive) {
  const int uinput = ::open("/dev/uinput", O_RDWR | O_CLOEXEC);
  if (uinput < 0) GTEST_SKIP() << "/dev/uinput is not usable here (" << std::strerror(errno) << ")";
  libevdev* proto = libevdev_new();
  libevdev_set_name(proto, "Ombrix Test IR Receiver");
  for (unsigned key : {KEY_VOLUMEUP, KEY_VOLUMEDOWN, KEY_MENU, KEY_PLAYPAUSE, KEY_FORWARD, KEY_BACK})
    libevdev_enable_event_code(proto, EV_KEY, key, nullptr);
  libevdev_uinput* device = nullptr;
  const int rc = libevdev_uinput_create_from_device(proto, uinput, &device);
  libevdev_free(proto);
  const QString node = rc == 0 ? QString::fromUtf8(libevdev_uinput_get_devnode(device)) : QString();
  struct Cleanup {
    libevdev_uinput* device;
    int fd;
    ~Cleanup() {
      if (device) libevdev_uinput_destroy(device);
      ::close(fd);
    }
  } cleanup{device, uinput};
  if (rc < 0) GTEST_SKIP() << "uinput refused a virtual receiver: " << std::strerror(-rc);
  if (node.isEmpty() || !oxtest::spinUntil([&] { return QFileInfo(node).isReadable(); }, 3000))
    GTEST_SKIP() << "the virtual receiver got no readable device node";

  auto recorder = std::make_shared<remotetest::Recorder>();
  auto remote = AppleRemote::create(recorder, std::make_unique<EvdevHIDBackend>(node));
  ASSERT_TRUE(remote);
  remote->startListening();
  EXPECT_TRUE(remote->isListeningToRemote());
  EvdevHIDBackend second(node);
  ASSERT_TRUE(second.findDevice(AppleRemote::kDeviceName));
  EXPECT_EQ(second.open(true), HIDRemoteBackend::OpenResult::Busy);  // the grab keeps others out

  for (unsigned key : {KEY_VOLUMEUP, KEY_PLAYPAUSE}) {
    for (int value : {1, 0}) {
      libevdev_uinput_write_event(device, EV_KEY, key, value);
      libevdev_uinput_write_event(device, EV_SYN, SYN_REPORT, 0);
    }
  }
  EXPECT_TRUE(oxtest::spinUntil([&] { return recorder->log.size() >= 12; }));
  EXPECT_EQ(recorder->log, "2+ 2- 16+ 16-");
  remote.reset();
  EXPECT_EQ(second.open(true), HIDRemoteBackend::OpenResult::Opened);
}
