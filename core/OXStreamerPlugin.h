#pragma once
#include <QString>
#include <QStringList>
#include <memory>

#include "core/StreamerPluginProtocol.h"

// One loaded streamer plug-in bundle: the "class" side of StreamerPluginProtocol (initialise, instance,
// terminate) and, through plugin(), its instance operations. Loaded code stays loaded for the life of the process,
// so a plug-in object may outlive the library that loaded it.
class OXStreamerPlugin {
 public:
  // The plug-in's working instance; empty when the plug-in answered none.
  class Instance {
   public:
    bool isValid() const { return protocol_ && handle_; }
    QString name() const;
    QStringList getMovieList() const;
    QStringList getShowList() const;

   private:
    friend class OXStreamerPlugin;
    const StreamerPluginProtocol* protocol_ = nullptr;
    void* handle_ = nullptr;
  };

  // Loads the bundle's code and takes its operations; empty when the folder holds no shared object, the object does
  // not load, exports no entry point, or answers a table of another version or with a missing operation.
  static std::shared_ptr<OXStreamerPlugin> bundleWithPath(const QString& bundlePath);

  QString bundlePath() const { return bundlePath_; }
  bool initializeClass(const QString& bundlePath) const;
  Instance plugin() const;
  void terminate() const;

 private:
  OXStreamerPlugin() = default;
  QString bundlePath_;
  const StreamerPluginProtocol* protocol_ = nullptr;
};
