#pragma once
#include <QStringList>
#include <functional>

struct libvlc_instance_t;

namespace ox {

// The one libvlc instance of the process, shared by every media and player.
class VLCLibrary {
 public:
  // Created on first use; nullptr when libvlc cannot start (no plugins), in which case every player stays silent.
  static libvlc_instance_t* sharedInstance();
  // Arguments appended to the built-in ones (headless runs pass "--aout=adummy"). Only read before the first
  // sharedInstance(); the environment variable OX_VLC_ARGS (space separated) is appended after these.
  static void setExtraArguments(const QStringList& arguments);
  // Every argument the instance is (or will be) created with.
  static QStringList arguments();

  // At the program's end: every holder of a libvlc object lets go of it (a player stops and falls silent), then the
  // instance is released, so no libvlc thread is left running while the process takes itself down. From then on
  // sharedInstance answers nullptr and nothing new plays. Main thread.
  static void releaseSharedInstance();
  // Players and media register how they let go of their libvlc objects; a holder that goes first removes itself.
  // Main thread.
  static int addHolder(std::function<void()> letGo);
  static void removeHolder(int token);
};

}  // namespace ox
