#pragma once
#include <QString>
#include <atomic>
#include <memory>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/layers/TextLayer.h"

class QProcess;

// Told by a stream driver how its stream went. Main thread.
class OXPeerflixDelegate {
 public:
  virtual ~OXPeerflixDelegate() = default;
  // The local HTTP address of the stream, without a trailing slash; once.
  virtual void streamingDidStart(const QString& address) = 0;
  // Once, when node could not start or the child ended its output before it announced an address; never after
  // stop.
  virtual void failureStreaming() = 0;
};

// Streams one magnet link: runs node with the peerflix script as a child process, reads its terminal output on an
// operation queue of its own for as long as the child writes (so the child never blocks on a full pipe), writes
// "Connected to %@ peers" or "Buffering : %@" into its text layer while the torrent is fetched, and hands the
// stream's local address to its delegate. Delegate and text layer are held weakly. The child ends with stop or
// with the driver; none outlives it. Main thread only.
//
// node is the information value "OXNodePath" (environment OMBRIX_NODE), else node on the PATH; the script is
// "OXPeerflixScript" (environment OMBRIX_PEERFLIX_SCRIPT), else peerflix/node_modules/peerflix/app.js beside the
// executable or one or two folders above it, where tools/peerflix.sh installs it, or in ../share/ombrix beside
// the executable's folder, where the installed tree holds it.
class OXPeerflix : public std::enable_shared_from_this<OXPeerflix> {
 public:
  // Starts the child and the reading. A child that cannot start is reported through failureStreaming on a later
  // turn of the main loop, once a delegate may be set.
  static std::shared_ptr<OXPeerflix> initWithMagnetLink(const QString& magnetLink);
  ~OXPeerflix();
  OXPeerflix(const OXPeerflix&) = delete;
  OXPeerflix& operator=(const OXPeerflix&) = delete;

  // Ends the reading and the child (asked to terminate, killed when it does not within a second, waited for off the
  // main thread, so the child may still be ending when this returns); the delegate hears nothing more. Later calls
  // do nothing.
  void stop();

  // Removes the driver from "VLCMediaPlayerTimeChanged", which it observes from the address on until the first
  // playback time change.
  void vlcTimeChange(const ox::Notification& notification);

  std::shared_ptr<OXPeerflixDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<OXPeerflixDelegate>& delegate) { delegate_ = delegate; }
  std::shared_ptr<ox::TextLayer> textLayer() const { return textLayer_.lock(); }
  void setTextLayer(const std::shared_ptr<ox::TextLayer>& layer) { textLayer_ = layer; }

  QString magnetLink() const { return magnetLink_; }
  // The running child's process id; 0 once it has ended or was stopped.
  qint64 processId() const;
  // The address has been announced.
  bool vlcIsAllocated() const;
  // Still waiting for the address: started, not stopped, no address, no failure.
  bool needRepeat() const;

  static QString nodePath();
  static QString scriptPath();

 private:
  struct Channel;
  OXPeerflix() = default;
  void launch();
  // Reads the child's output until its end or a stop; on the private queue.
  static void feetchingPeers(const std::shared_ptr<Channel>& channel, std::weak_ptr<OXPeerflix> driver);
  void showStatus(const QString& peers, const QString& buffering);
  void announce(const QString& address);
  void fail();
  void endChild();

  QString magnetLink_;
  std::unique_ptr<QProcess> task_;
  std::shared_ptr<Channel> pipe_;
  std::unique_ptr<ox::OperationQueue> queue_;
  std::weak_ptr<OXPeerflixDelegate> delegate_;
  std::weak_ptr<ox::TextLayer> textLayer_;
  ox::NotificationCenter::Token timeObserver_ = 0;
  bool failed_ = false;
};
