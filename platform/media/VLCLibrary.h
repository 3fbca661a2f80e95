#pragma once
#include <QStringList>

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
};

}  // namespace ox
