#include "core/OXStreamerPlugin.h"

#include <QDir>
#include <QFile>
#include <dlfcn.h>

namespace {

void appendText(void* list, const char* json) {
  if (list && json) static_cast<QStringList*>(list)->append(QString::fromUtf8(json));
}

QString sharedObjectInBundle(const QString& bundlePath) {
  const QStringList names =
      QDir(bundlePath).entryList({QStringLiteral("*.so")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  for (const QString& name : names)
    if (name.endsWith(QLatin1String(".so"), Qt::CaseSensitive)) return QDir(bundlePath).filePath(name);
  return {};
}

}  // namespace

std::shared_ptr<OXStreamerPlugin> OXStreamerPlugin::bundleWithPath(const QString& bundlePath) {
  const QString object = sharedObjectInBundle(bundlePath);
  if (object.isEmpty()) return nullptr;
  // Never closed: the plug-in's code may be running or referenced for as long as the process lives.
  void* handle = ::dlopen(QFile::encodeName(object).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return nullptr;
  const auto entry = reinterpret_cast<OXStreamerPluginMainFunction>(::dlsym(handle, OX_STREAMER_PLUGIN_ENTRY));
  const StreamerPluginProtocol* protocol = entry ? entry() : nullptr;
  if (!protocol || protocol->abiVersion != OX_STREAMER_PLUGIN_ABI || !protocol->initializeClass || !protocol->plugin ||
      !protocol->terminate || !protocol->name || !protocol->getMovieList || !protocol->getShowList)
    return nullptr;
  std::shared_ptr<OXStreamerPlugin> plugin(new OXStreamerPlugin);
  plugin->bundlePath_ = bundlePath;
  plugin->protocol_ = protocol;
  return plugin;
}

bool OXStreamerPlugin::initializeClass(const QString& bundlePath) const {
  return protocol_->initializeClass(QFile::encodeName(bundlePath).constData()) != 0;
}

OXStreamerPlugin::Instance OXStreamerPlugin::plugin() const {
  Instance instance;
  instance.protocol_ = protocol_;
  instance.handle_ = protocol_->plugin();
  return instance;
}

void OXStreamerPlugin::terminate() const { protocol_->terminate(); }

QString OXStreamerPlugin::Instance::name() const {
  if (!isValid()) return {};
  const char* text = protocol_->name(handle_);
  return text ? QString::fromUtf8(text) : QString();
}

QStringList OXStreamerPlugin::Instance::getMovieList() const {
  QStringList list;
  if (isValid()) protocol_->getMovieList(handle_, appendText, &list);
  return list;
}

QStringList OXStreamerPlugin::Instance::getShowList() const {
  QStringList list;
  if (isValid()) protocol_->getShowList(handle_, appendText, &list);
  return list;
}
