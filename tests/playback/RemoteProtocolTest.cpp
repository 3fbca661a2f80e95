#include <gtest/gtest.h>

#include <QStringList>

#include "playback/OXRemoteProtocol.h"

namespace {

struct Recorder : OXRemoteProtocol {
  QStringList seen;
  void moveLeft() override { seen << "left"; }
  void moveRight() override { seen << "right"; }
  void moveUp() override { seen << "up"; }
  void moveDown() override { seen << "down"; }
  void keyPlay() override { seen << "play"; }
  void keyMenu() override { seen << "menu"; }
  void holdMenu() override { seen << "holdMenu"; }
};

}  // namespace

TEST(RemoteProtocol, KeyboardTableReachesTheCommandsAndIgnoresTheRest) {
  Recorder r;
  const QList<QString> keys = {QString(QChar(0xF700)), QString(QChar(0xF701)), QString(QChar(0xF702)),
                               QString(QChar(0xF703)), "\r",  " ", QString(QChar(27)), QString(QChar(127)),
                               "m", "p", "x", "M", ""};
  int sent = 0;
  for (const QString& k : keys) sent += OXSendRemoteCommand(r, OXRemoteCommandForKey(ox::KeyEvent::withCharacters(k)));
  // "p" reaches holdPlay, which this receiver leaves to the default that does nothing.
  EXPECT_EQ(sent, 10);
  EXPECT_EQ(r.seen, QStringList({"up", "down", "left", "right", "play", "play", "menu", "menu", "holdMenu"}));
}
